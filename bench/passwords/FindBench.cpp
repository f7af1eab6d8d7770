// Find in the account tree of a passwords window with 100,000 accounts, on the offscreen
// platform (see FindKeystrokes.h).
#include "BenchFigures.h"
#include "FindKeystrokes.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "controls/AccountText.h"
#include "controls/TreeFinder.h"
#include "passwords/LeftView.h"
#include "passwords/OmbrivaultDoc.h"

namespace {

constexpr int kAccounts = 100000;

// Names, addresses and user ids in no particular order, a few with accents.
std::unique_ptr<COmbrivaultDoc> MakeDoc(std::vector<QString>& names) {
    static const char* const kSites[] = {"mail", "Bank", "shop", "forum", "news", "Müller"};
    auto doc = std::make_unique<COmbrivaultDoc>();
    uint32_t seed = 7;
    for (int i = 0; i < kAccounts; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const QString site = QString::fromUtf8(kSites[seed % 6]);
        names.push_back(QStringLiteral("%1 %2 account %3").arg(site).arg(seed >> 12).arg(i));
        const AccountKind kind = kAccountKinds[i % 3];
        const int slot = doc->AddAccount(kind, AccountBytes(names.back()));
        Account* account = doc->GetAccount(kind, slot);
        if (std::string* address = account->Field(AccountField::Address)) {
            *address = AccountBytes(QStringLiteral("https://%1.example/%2").arg(site).arg(i));
        }
        *account->Field(AccountField::UserId) =
            AccountBytes(QStringLiteral("user%1@example.org").arg(seed % 9973));
    }
    return doc;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    PrepareWindowBench(scratch);
    QApplication app(argc, argv);
    std::vector<QString> names;
    std::unique_ptr<COmbrivaultDoc> doc = MakeDoc(names);
    auto view = std::make_unique<CLeftView>(doc.get());
    view->resize(300, 700);
    view->OnInitialUpdate();
    view->show();
    SettleWindows();
    const find_bench::FindFigures f = find_bench::MeasureFind(
        view->Finder(), names,
        find_bench::Keystrokes({"bank 12", "muller", "user77", "shop 4", "example.org", "zq"}));
    PrintFigure("find_keystroke_p95_100k_ms", f.p95Ms, "<=50");
    PrintFigure("find_keystroke_p95_vs_linear_name_scan_p95", f.p95Ms / f.scanP95Ms, "<=3");
    PrintFigure("find_first_keystroke_index_100k_ms", f.indexMs, "<=1000");
    return 0;
}
