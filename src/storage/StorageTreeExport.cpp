#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

#include "base/FileErrors.h"
#include "base/ProductInfo.h"
#include "base/WholeFile.h"
#include "controls/DirectoryDlg.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"
#include "image/ImageType.h"
#include "image/ObjImage.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageExport.h"
#include "storage/StorageExportNames.h"
#include "storage/StorageTreeParts.h"

QString CPictureLeftView::ImageDefaultExtension(int imageType) {
    return QString::fromStdString(ImageTypeExtension(imageType));
}

QString CPictureLeftView::ImageExportFilter(int imageType) {
    enum { BMP, JPG, PCX, GIF, TGA, PNG, PSD, ICO, TIF };
    static const char* const kEntries[] = {
        "Bitmap Files (*.BMP)|*.bmp|",
        "Joint Photographic Experts Group (*.JPG;*.JPEG)|*.jpg;*.jpeg|",
        "PC Paintbrush Exchange (*.PCX)|*.pcx|",
        "Graphics Interchange Format (*.GIF)|*.gif|",
        "TGA File Format (*.TGA)|*.tga|",
        "Portable Network Graphics (*.PNG)|*.png|",
        "Photoshop Format (*.PSD)|*.psd|",
        "Icon Image File Format (*.ICO)|*.ico|",
        "Tagged Image File Format (*.TIF;*.TIFF)|*.tif;*.tiff|",
    };
    // By image type 1 (BMP) to 9 (ICO): the entries in the order the dialog lists them.
    static constexpr int kOrders[9][9] = {
        {BMP, JPG, PCX, GIF, TGA, PNG, PSD, ICO, TIF},
        {PCX, GIF, JPG, BMP, TGA, PNG, PSD, ICO, TIF},
        {JPG, BMP, PCX, GIF, TGA, PNG, PSD, ICO, TIF},
        {GIF, JPG, BMP, PCX, TGA, PNG, PSD, ICO, TIF},
        {TGA, PCX, GIF, JPG, BMP, PNG, PSD, ICO, TIF},
        {TIF, TGA, PCX, GIF, JPG, BMP, PNG, PSD, ICO},
        {PNG, TIF, TGA, PCX, GIF, JPG, BMP, PSD, ICO},
        {PCX, PNG, TIF, TGA, GIF, JPG, BMP, PSD, ICO},
        {ICO, PCX, PNG, TIF, TGA, GIF, JPG, BMP, PSD},
    };
    QString filter;
    if (imageType >= ImageType::Bmp && imageType <= ImageType::Ico) {
        // The picture's own format is written as stored; another only where a writer exists
        // (nothing converts to PCX, PSD or ICO).
        static constexpr int kTypes[] = {ImageType::Bmp, ImageType::Jpeg, ImageType::Pcx,
                                         ImageType::Gif, ImageType::Tga,  ImageType::Png,
                                         ImageType::Psd, ImageType::Ico,  ImageType::Tiff};
        for (const int entry : kOrders[imageType - ImageType::Bmp]) {
            const bool writable = entry != PCX && entry != PSD && entry != ICO;
            if (writable || kTypes[entry] == imageType) {
                filter += QLatin1String(kEntries[entry]);
            }
        }
    }
    return filter;
}

void CPictureLeftView::ExportSelected() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item != nullptr && item == root_) {
        ExportFolder(item); // the whole storage
        return;
    }
    const StorageItem* record = RecordOf(item);
    if (item == nullptr || record == nullptr) {
        return;
    }
    const QString label = item->text(0);
    const QString suffix = QFileInfo(label).suffix();
    QString filter;
    switch (static_cast<StorageItemType>(record->type)) {
    case StorageItemType::Folder:
        ExportFolder(item);
        return;
    case StorageItemType::Image: {
        CTimedFileDialog dialog(false, ImageDefaultExtension(record->imageType),
                                QFileInfo(label).completeBaseName(), 0,
                                ImageExportFilter(record->imageType), this, 0);
        dialog.SetFolderKind(FolderKind::Export);
        if (dialog.DoModal() != IDOK) {
            return;
        }
        const QString path = dialog.GetPathName();
        const QString failed =
            QStringLiteral("Failed to convert image to this format...\nPlease, try other formats "
                           "or export file in the original format.");
        if (ImageTypeFromPath(NativePath(path)) == record->imageType) {
            // The same format: the stored bytes, unchanged.
            if (const int error = WriteItemFile(*record, NativePath(path)); error != 0) {
                ShowMessageBox(this,
                               QStringLiteral("Cannot write %1: %2")
                                   .arg(path, QString::fromStdString(FileErrorMessage(error))),
                               QString::fromLatin1(kAppTitle), MessageButtons::Ok,
                               MessageIcon::Error);
            }
            return;
        }
        FCObjImage picture;
        ItemData bytes;
        const ItemDataRead read = record->data.Load(bytes);
        if (read == ItemDataRead::Damaged) {
            Document()->ReportDamagedItem(IndexOf(item));
            return;
        }
        if (read != ItemDataRead::Ok ||
            !picture.LoadImage(bytes.data(), bytes.size(),
                               static_cast<ImageType>(record->imageType)) ||
            !picture.SaveImage(NativePath(path), -1)) {
            ShowMessageBox(this, failed, QString::fromLatin1(kAppTitle), MessageButtons::Ok,
                           MessageIcon::Error);
        }
        return;
    }
    case StorageItemType::Text:
        filter =
            QStringLiteral("Not-Encrypted Notepad Text File (*.TXT)|*.txt|All Files (*.*)|*.*|");
        break;
    case StorageItemType::Pdf:
        filter = QStringLiteral("Not-Encrypted Adobe Portable Document Format "
                                "(*.PDF)|*.pdf|All Files (*.*)|*.*|");
        break;
    case StorageItemType::File:
        filter = QStringLiteral("All Files (*.*)|*.*|");
        break;
    case StorageItemType::WebAccount:
    case StorageItemType::OtherAccount:
        // An account as its XML.
        filter = QStringLiteral("XML Files (*.XML)|*.xml|All Files (*.*)|*.*|");
        break;
    default:
        return; // unknown items hold nothing to export
    }
    const bool account =
        record->Is(StorageItemType::WebAccount) || record->Is(StorageItemType::OtherAccount);
    CTimedFileDialog dialog(false, account ? QStringLiteral("xml") : suffix,
                            account ? label + QStringLiteral(".xml") : label, 0, filter, this, 0);
    dialog.SetFolderKind(FolderKind::Export);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    if (const int error = WriteItemFile(*record, NativePath(dialog.GetPathName())); error != 0) {
        ShowMessageBox(
            this,
            QStringLiteral("Cannot write %1: %2")
                .arg(dialog.GetPathName(), QString::fromStdString(FileErrorMessage(error))),
            QString::fromLatin1(kAppTitle), MessageButtons::Ok, MessageIcon::Error);
    }
}

void CPictureLeftView::AddFileCommand() {
    CTimedFileDialog dialog(true, QString(), QString(), CTimedFileDialog::FileMustExist,
                            QStringLiteral("All Files (*.*)|*.*|"), this, 0);
    if (dialog.DoModal() == IDOK && !dialog.GetPathName().isEmpty()) {
        AddFileByType(dialog.GetPathName(), true);
    }
}

void CPictureLeftView::ExportFolder(QTreeWidgetItem* item) {
    CDirectoryDlg picker(this);
    if (picker.DoModal() != IDOK || picker.SelectedPath().isEmpty()) {
        return;
    }
    const int32_t folder = IndexOf(item); // kRootParent for the root: the whole storage
    const StorageItem* record = RecordOf(item);
    // A new sub-folder named like the folder (the storage's file for the root), beside what
    // the directory holds already.
    const std::string name = SafeFileName(
        record != nullptr ? record->name : FromLabel(QFileInfo(item->text(0)).completeBaseName()));
    const std::string base = NativePath(picker.SelectedPath());
    const std::string shown = base + "/" + NewExportFolderName(base, name);
    if (ShowMessageBox(this,
                       QStringLiteral("The items of \"%1\" will be written unencrypted to the "
                                      "folder %2. Anyone who can read that folder can read them."
                                      "\nExport them?")
                           .arg(item->text(0), QFile::decodeName(shown.c_str())),
                       QString::fromLatin1(kAppTitle), MessageButtons::YesNo,
                       MessageIcon::Exclamation) != MessageResult::Yes) {
        return;
    }
    const StorageItemTable& table = Document()->Items();
    ExportRoot root;
    FolderExportResult result = CreateExportRoot(base, name, root);
    if (result.ok) {
        result = WriteFolderExport(table, PlanFolderExport(table, TreeForSave(), folder), root,
                                   ExistingFiles::Refuse);
    }
    if (!result.ok) {
        ShowMessageBox(this,
                       QStringLiteral("The export stopped: %1 could not be written (%2).")
                           .arg(QFile::decodeName(result.path.c_str()),
                                QString::fromStdString(FileErrorMessage(result.error))),
                       QString::fromLatin1(kAppTitle), MessageButtons::Ok, MessageIcon::Error);
        return;
    }
    if (const QStringList unread = UnreadFoldersIn(item); !unread.isEmpty()) {
        ShowMessageBox(this,
                       QStringLiteral("The export to %1 is incomplete. Part of the storage did "
                                      "not decrypt when it was opened, so items of these folders "
                                      "were not read and are not exported:\n%2")
                           .arg(QFile::decodeName(root.path.c_str()), unread.join(u'\n')),
                       QString::fromLatin1(kAppTitle), MessageButtons::Ok,
                       MessageIcon::Exclamation);
    }
}

QStringList CPictureLeftView::UnreadFoldersIn(QTreeWidgetItem* folder) const {
    QStringList paths;
    for (const int32_t unread : unreadFolders_) {
        QTreeWidgetItem* at = unread >= 0 && static_cast<size_t>(unread) < byIndex_.size()
                                  ? byIndex_[static_cast<size_t>(unread)]
                                  : root_;
        QStringList names;
        bool inside = folder == root_; // the whole storage holds every folder
        for (QTreeWidgetItem* up = at; up != nullptr && up != root_; up = up->parent()) {
            names.prepend(up->text(0));
            inside = inside || up == folder;
        }
        if (inside) {
            paths << QStringLiteral("$:\\") + names.join(u'\\') + u'\\';
        }
    }
    return paths;
}
