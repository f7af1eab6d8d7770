// New items from files on disk, typed by the file name's extension the way the storage tree
// adds dropped and pasted files.
#pragma once

#include "storage/StorageItem.h"

#include <memory>
#include <string>
#include <string_view>

// Image for the picture extensions (JPG, JPEG, BMP, GIF, PNG, TIF, TIFF, ICO, TGA, PCX, PSD),
// Pdf for PDF, Text for TXT, File for anything else; without regard to case.
StorageItemType StorageItemTypeForPath(std::string_view path);

// An item holding `bytes` read from `path`, labelled with the path's file name: an image
// with its image type, shown fitted to the view; a note with the text up to the first NUL.
std::unique_ptr<StorageItem> MakeItemFromFile(std::string_view path, Bytes bytes);

// The same for a file held open (`fd`, taken over, `size` bytes): the data stays in the file
// and is read in pieces when the item is written; only a note's text is read now. Null with
// `error` set when the text cannot be read.
std::unique_ptr<StorageItem> MakeItemFromOpenFile(std::string_view path, int fd, uint64_t size,
                                                  int& error);

// The same for a file left closed on disk: `path` (`size` bytes, the file `device`/`inode`
// of the look at it) is opened again when the item is written and must then still be that
// file, or the write fails. Holds no descriptor, so any number of them can wait for a save.
// Not for notes, whose text is read when they are made.
std::unique_ptr<StorageItem> MakeItemFromClosedFile(std::string_view path, uint64_t size,
                                                    uint64_t device, uint64_t inode);

// Files up to this size are read whole when they are added from the window; larger ones stay
// in their file, held open, so an item of gigabytes is added in bounded memory.
inline constexpr uint64_t kAddInMemoryBytes = uint64_t{64} << 20;

// The item for the file at `path` as MakeItemFromFile makes it: read now up to
// kAddInMemoryBytes, held open and read in pieces when written above that. Null with `error`
// set when the file cannot be opened or read, or is not a regular file.
std::unique_ptr<StorageItem> MakeItemFromPath(const std::string& path, int& error);
