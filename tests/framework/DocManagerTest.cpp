#include "framework/DocManager.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMdiArea>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "framework/ChildFrame.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"

namespace {

// A document that refuses files whose name contains "refuse".
class TestDoc : public CDocument {
public:
    bool OnOpenDocument(const QString& path) override { return !path.contains("refuse"); }
};

class Host : public CFrameHost {
public:
    void AddChildFrame(CMDIChildWnd* frame) override { area.addSubWindow(frame); }
    void ActivateChildFrame(CMDIChildWnd* frame) override {
        ++activations;
        area.setActiveSubWindow(frame);
    }
    QMdiArea area;
    int activations = 0;
};

std::unique_ptr<CDocTemplate> MakeTemplate(int id, const QString& docString) {
    return std::make_unique<CDocTemplate>(
        id, docString, [] { return std::make_unique<TestDoc>(); },
        [] { return new CMDIChildWnd(); }, [](CDocument* d) { return new CView(d); });
}

class DocManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager.SetFrameHost(&host);
        // The program's templates in their order, with their document strings.
        const std::pair<int, const char*> kinds[] = {
            {125, "\nUntitled\nUEdit\nOmbrivault Encrypted Text Files (*.ovt)\n.ovt\nOvt.Document\n"
                  "Ombrivault Encrypted Text"},
            {126,
             "\nUntitled\nWebAcc\nOmbrivault Encrypted Data Files (*.ovd)\n.ovd\nOvd.Document\n"
             "Ombrivault Encrypted Data"},
            {127, "\nUntitled\nPicture\nOmbrivault Encrypted Storage Files (*.ovs)\n.ovs\n"
                  "Ovs.Document\nOmbrivault Encrypted Storage"},
            {128, ""},
            {140,
             "\nUntitled\nWebAcc\nOmbrivault Encrypted Data Files (*.ovf)\n.ovf\nOvf.Document\n"
             "Ombrivault Encrypted Data"},
            {236, "\nUntitled\nUEdit\nOmbrivault Encrypted Text Files (*.etx)\n.etx\nEtx.Document\n"
                  "Ombrivault Encrypted Text"},
        };
        for (const auto& [id, text] : kinds) {
            manager.AddDocTemplate(MakeTemplate(id, QString::fromLatin1(text)));
        }
    }
    void TearDown() override { manager.CloseAllDocuments(); }

    QString File(const QString& name) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return path;
    }

    QTemporaryDir dir;
    Host host;
    CDocManager manager{4};
};

TEST_F(DocManagerTest, DocStringFields) {
    const CDocTemplate* passwords = manager.FindTemplate(126);
    ASSERT_NE(passwords, nullptr);
    EXPECT_EQ(passwords->GetDocString(CDocTemplate::windowTitle), "");
    EXPECT_EQ(passwords->GetDocString(CDocTemplate::docName), "Untitled");
    EXPECT_EQ(passwords->GetDocString(CDocTemplate::fileNewName), "WebAcc");
    EXPECT_EQ(passwords->GetDocString(CDocTemplate::filterName),
              "Ombrivault Encrypted Data Files (*.ovd)");
    EXPECT_EQ(passwords->GetDocString(CDocTemplate::filterExt), ".ovd");
    EXPECT_EQ(passwords->GetDocString(CDocTemplate::regFileTypeId), "Ovd.Document");
    EXPECT_EQ(passwords->GetDocString(CDocTemplate::regFileTypeName), "Ombrivault Encrypted Data");
    EXPECT_EQ(manager.FindTemplate(128)->GetDocString(CDocTemplate::filterExt), "");
}

TEST_F(DocManagerTest, TemplateChosenByExtensionWithoutRegardToCase) {
    const std::pair<const char*, int> cases[] = {
        {"a.ovt", 125},
        {"a.ovd", 126},
        {"a.ovs", 127},
        {"a.ovf", 140},
        {"a.etx", 236},
        {"A.OVD", 126},
        {"b.OvF", 140},
        {"c.ETX", 236},
        {"d.Ovs", 127},
        // Foreign extensions and no extension go to the first template that takes them.
        {"notes.txt", 125},
        {"noext", 125},
        {"archive.ovd.bak", 125},
    };
    for (const auto& [name, id] : cases) {
        CDocument* open = nullptr;
        const CDocTemplate* t = manager.ChooseTemplate(dir.filePath(name), open);
        ASSERT_NE(t, nullptr) << name;
        EXPECT_EQ(t->GetResourceId(), id) << name;
        EXPECT_EQ(open, nullptr);
    }
}

TEST_F(DocManagerTest, OpenFileMakesAVisibleWindowAndAnOpenFileIsActivated) {
    const QString path = File("Vault.OVD");
    CDocument* doc = manager.OpenDocumentFile(path);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetDocTemplate()->GetResourceId(), 126);
    EXPECT_EQ(doc->GetTitle(), "Vault.OVD");
    EXPECT_EQ(doc->GetPathName(), path);
    ASSERT_EQ(doc->GetFrames().size(), 1u);
    EXPECT_EQ(doc->GetFrames().front()->windowTitle(), "Vault.OVD");
    EXPECT_EQ(manager.RecentFiles().Files(), QStringList{path});

    const int before = host.activations;
    CDocument* again = manager.OpenDocumentFile(dir.path() + "/./Vault.OVD");
    EXPECT_EQ(again, doc);
    EXPECT_EQ(manager.GetDocuments().size(), 1u);
    EXPECT_EQ(host.activations, before + 1);
    EXPECT_EQ(host.area.subWindowList().size(), 1);
}

TEST_F(DocManagerTest, RefusedFileLeavesNoDocumentOrWindow) {
    EXPECT_EQ(manager.OpenDocumentFile(File("refuse.ovt")), nullptr);
    EXPECT_TRUE(manager.GetDocuments().empty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(host.area.subWindowList().isEmpty());
    EXPECT_TRUE(manager.RecentFiles().Files().isEmpty());
}

TEST_F(DocManagerTest, UntitledDocumentsAreNumberedPerKind) {
    CDocTemplate* text = manager.FindTemplate(125);
    CDocument* a = text->OpenDocumentFile(QString());
    CDocument* b = text->OpenDocumentFile(QString());
    CDocument* c = manager.FindTemplate(126)->OpenDocumentFile(QString());
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->GetTitle(), "Untitled1");
    EXPECT_EQ(b->GetTitle(), "Untitled2");
    EXPECT_EQ(c->GetTitle(), "Untitled1");
    EXPECT_TRUE(a->GetPathName().isEmpty());
}

TEST_F(DocManagerTest, ClosingTheLastFrameDestroysTheDocument) {
    CDocument* doc = manager.OpenDocumentFile(File("x.ovs"));
    ASSERT_NE(doc, nullptr);
    CMDIChildWnd* frame = doc->GetFrames().front();
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(manager.GetDocuments().empty());
}

TEST_F(DocManagerTest, ModifiedDocumentAsksBeforeClosing) {
    class Stubborn : public CDocument {
    public:
        bool SaveModified() override { return false; }
    };
    auto t = std::make_unique<CDocTemplate>(
        900, "\nUntitled\nX\nX (*.xx)\n.xx\nX.Document\nX",
        [] { return std::make_unique<Stubborn>(); }, [] { return new CMDIChildWnd(); },
        [](CDocument* d) { return new CView(d); });
    CDocTemplate* stubborn = manager.AddDocTemplate(std::move(t));
    CDocument* doc = stubborn->OpenDocumentFile(QString());
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(doc->GetFrames().front()->close());
    EXPECT_EQ(manager.GetDocuments().size(), 1u);
    EXPECT_FALSE(manager.SaveAllModified());
}

TEST_F(DocManagerTest, StandardOpenFilterListsTheFileKinds) {
    EXPECT_EQ(manager.StandardOpenFilter(), "Ombrivault Encrypted Text Files (*.ovt)|*.ovt|"
                                            "Ombrivault Encrypted Data Files (*.ovd)|*.ovd|"
                                            "Ombrivault Encrypted Storage Files (*.ovs)|*.ovs|"
                                            "Ombrivault Encrypted Data Files (*.ovf)|*.ovf|"
                                            "Ombrivault Encrypted Text Files (*.etx)|*.etx|"
                                            "All Files (*.*)|*||");
}

TEST(RecentFileList, NewestFirstNoDuplicatesFourEntriesPersisted) {
    QTemporaryDir dir;
    CRecentFileList list(4);
    for (const char* name :
         {"/a/1.ovd", "/a/2.ovd", "/a/3.ovd", "/a/1.ovd", "/a/4.ovd", "/a/5.ovd"}) {
        list.Add(name);
    }
    EXPECT_EQ(list.Files(), (QStringList{"/a/5.ovd", "/a/4.ovd", "/a/1.ovd", "/a/3.ovd"}));
    list.Remove(1);
    EXPECT_EQ(list.Files(), (QStringList{"/a/5.ovd", "/a/1.ovd", "/a/3.ovd"}));

    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    list.WriteList(settings);
    EXPECT_EQ(settings.value("Recent File List/File1").toString(), "/a/5.ovd");
    EXPECT_FALSE(settings.contains("Recent File List/File4"));
    CRecentFileList back(4);
    back.ReadList(settings);
    EXPECT_EQ(back.Files(), list.Files());

    EXPECT_EQ(list.MenuText(0), "&1 /a/5.ovd");
    CRecentFileList amp(4);
    amp.Add("/x/Tom & Jerry.ovt");
    EXPECT_EQ(amp.MenuText(0), "&1 /x/Tom && Jerry.ovt");
}

} // namespace
