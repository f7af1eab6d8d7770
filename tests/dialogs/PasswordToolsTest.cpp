// The password generator dialog, the strength meter and the Generate buttons beside the
// new-password fields.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

#include "controls/EditEx.h"
#include "dialogs/PasswordDlg.h"
#include "dialogs/PasswordFieldTools.h"
#include "dialogs/PasswordGeneratorDlg.h"
#include "dialogs/StrengthMeter.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "support/FakeLockHost.h"
#include "support/GuiFixture.h"

namespace {

template <typename T> T* Child(QWidget& w, const char* name) {
    T* child = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class PasswordToolsTest : public GuiFixture {
protected:
    FakeLockHost host;
};

TEST_F(PasswordToolsTest, GeneratorFollowsItsRulesAndShowsTheEntropy) {
    CPasswordGeneratorDlg dlg;
    QLineEdit* shown = Child<QLineEdit>(dlg, "generated");
    QLabel* entropy = Child<QLabel>(dlg, "entropy");
    EXPECT_EQ(shown->text().size(), 20) << "20 characters of every kind by default";
    EXPECT_EQ(
        entropy->text(),
        QStringLiteral("%1 bits of entropy").arg(std::floor(passgen::PasswordEntropyBits({}))));

    Child<QSpinBox>(dlg, "length")->setValue(64);
    Child<QCheckBox>(dlg, "symbols")->setChecked(false);
    Child<QCheckBox>(dlg, "avoidLookAlikes")->setChecked(true);
    const QString password = dlg.Password();
    EXPECT_EQ(password.size(), 64);
    for (QChar c : password) {
        EXPECT_TRUE(c.isLetterOrNumber()) << password.toStdString();
        EXPECT_FALSE(QStringLiteral("Il1|O0o").contains(c)) << password.toStdString();
    }
    dlg.Regenerate();
    EXPECT_NE(dlg.Password(), password) << "a new draw each time";

    for (const char* box : {"lower", "upper", "digits"}) {
        Child<QCheckBox>(dlg, box)->setChecked(false);
    }
    EXPECT_TRUE(dlg.Password().isEmpty());
    EXPECT_EQ(entropy->text(), "Choose at least one kind of character.");
    EXPECT_FALSE(Child<QPushButton>(dlg, "use")->isEnabled());

    Child<QRadioButton>(dlg, "passphrase")->setChecked(true);
    Child<QSpinBox>(dlg, "words")->setValue(5);
    Child<QLineEdit>(dlg, "separator")->setText(QStringLiteral(" "));
    EXPECT_EQ(dlg.Password().split(QLatin1Char(' ')).size(), 5);
    EXPECT_EQ(entropy->text(), "64 bits of entropy"); // 5 * log2(7776) = 64.6
    EXPECT_TRUE(Child<QPushButton>(dlg, "use")->isEnabled());
    EXPECT_FALSE(Child<QSpinBox>(dlg, "length")->isEnabled());
}

TEST_F(PasswordToolsTest, CopyPutsTheShownPasswordOnTheClipboard) {
    CPasswordGeneratorDlg dlg;
    Child<QPushButton>(dlg, "copy")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), dlg.Password());
}

TEST_F(PasswordToolsTest, UseFillsBothEditsOfTheFilePasswordDialog) {
    CPasswordDlg dlg;
    QString used;
    ModalSeam::Push([&](QDialog& d) {
        ModalSeam::Push([&](QDialog& generator) {
            used = static_cast<CPasswordGeneratorDlg&>(generator).Password();
            answer::Click("use")(generator);
        });
        Child<QPushButton>(d, "generate")->click();
        EXPECT_EQ(Child<QLineEdit>(d, "password")->text(), used);
        EXPECT_EQ(Child<QLineEdit>(d, "confirm")->text(), used);
        EXPECT_EQ(dlg.Meter()->Word(), "very strong");
        answer::Click("save")(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.Password(), used.toStdString());
    EXPECT_EQ(used.size(), 20);
}

TEST_F(PasswordToolsTest, FilePasswordMeterRatesAndNotesTheCompatibleFormsOnce) {
    CPasswordDlg dlg;
    dlg.OfferStrongProtection(false);
    ModalSeam::Push([&](QDialog& d) {
        StrengthMeter* meter = dlg.Meter();
        EXPECT_EQ(meter->Word(), "");
        answer::Type("password", "password")(d);
        EXPECT_EQ(meter->Word(), "very weak");
        EXPECT_NE(meter->Feedback().indexOf("another word or two"), -1) << meter->Feedback().toStdString();
        EXPECT_TRUE(meter->CompatibleFormNoteShown());
        EXPECT_EQ(d.findChildren<QLabel*>("compatibleFormNote").size(), 1);
        answer::Type("password", "unsaid-duffel-relapse-cosigner-trapeze-gauze")(d);
        EXPECT_EQ(meter->Word(), "very strong");
        EXPECT_EQ(meter->Feedback(), "");
        // Strong protection makes guessing slow: the note is beside the point then.
        Child<QCheckBox>(d, "strong")->setChecked(true);
        EXPECT_FALSE(meter->CompatibleFormNoteShown());
        answer::Click("cancel")(d);
    });
    dlg.DoModal();
}

TEST_F(PasswordToolsTest, AccountFieldToolsWeighTheFieldAndGenerateIntoIt) {
    QWidget pane;
    auto* field = new CEditEx(false, &pane);
    PasswordFieldTools tools(field, &pane);
    tools.SetUserWords([] { return std::vector<std::string>{"ombrivault"}; });
    int changes = 0;
    QObject::connect(field, &CEditEx::Changed, [&] { ++changes; });
    field->SetText(QStringLiteral("ombrivault77"));
    EXPECT_NE(tools.Meter()->Feedback().indexOf("name or user id"), -1)
        << tools.Meter()->Feedback().toStdString();

    ModalSeam::Push(answer::Click("use"));
    tools.GenerateButton()->click();
    EXPECT_EQ(field->Text().size(), 20);
    EXPECT_EQ(tools.Meter()->Word(), "very strong");
    EXPECT_EQ(changes, 2) << "a generated password is written like typing";
    ModalSeam::Push(answer::Click("cancel"));
    const QString before = field->Text();
    tools.GenerateButton()->click();
    EXPECT_EQ(field->Text(), before);
}

} // namespace
