#include "image/CodecAdapter.h"
#include "image/ObjImage.h"

#include "ImageSamples.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

int main() { return 0; }
