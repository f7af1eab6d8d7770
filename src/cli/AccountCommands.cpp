// list and show: the accounts of a passwords file, one per line or one field per line.
#include "cli/CliCommon.h"

#include "base/CodePage.h"
#include "passwords/PasswordsFile.h"

#include <algorithm>
#include <iostream>

namespace {

// Loads the accounts of FILE with the password from the options. Returns kExitOk, or reports
// the failure and returns its exit code.
int LoadAccounts(const CliOptions& options, const std::string& path, AccountLists& lists) {
    if (!PasswordsFormOf(path)) {
        return UsageFail(path + " is not a .ovd or .ovf file");
    }
    SecretBuffer password;
    if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
        return code;
    }
    int error = 0;
    const PasswordsLoadStatus status = LoadPasswordsFile(path, password.View(), lists, &error);
    password.Clear();
    switch (status) {
    case PasswordsLoadStatus::Loaded:
        return kExitOk;
    case PasswordsLoadStatus::DecryptFailed:
        return LoadFail(path, LoadTextStatus::DecryptFailed, error);
    case PasswordsLoadStatus::NotPasswords:
        return Fail(kExitDecryptFailed, path + " decrypted, but it holds no passwords document: "
                                               "the file is damaged or the password is wrong");
    case PasswordsLoadStatus::Unreadable:
    case PasswordsLoadStatus::UnknownExtension:
        break;
    }
    return LoadFail(path, LoadTextStatus::Unreadable, error);
}

std::string FieldText(const Account& account, AccountField field) {
    const std::string* value = account.Field(field);
    return value ? OneLine(*value) : std::string();
}

int Finish() {
    std::cout.flush();
    return std::cout ? kExitOk : Fail(kExitFile, "cannot write to standard output");
}

int List(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    const auto flag = std::find(args.begin(), args.end(), "--show-passwords");
    const bool showPasswords = flag != args.end();
    if (showPasswords) {
        args.erase(flag);
    }
    if (args.size() != 1 || args[0].starts_with("--")) {
        return UsageFail("list takes one FILE and optionally --show-passwords");
    }
    AccountLists lists;
    if (const int code = LoadAccounts(options, args[0], lists); code != kExitOk) {
        return code;
    }
    for (AccountKind kind : kAccountKinds) {
        for (int slot = 0; slot < lists.GetSlotCount(kind); ++slot) {
            const Account* account = lists.GetAccount(kind, slot);
            if (account == nullptr) {
                continue;
            }
            std::string line = std::string(KindWord(kind)) + '\t' + OneLine(account->name) + '\t' +
                               FieldText(*account, AccountField::Address) + '\t' +
                               FieldText(*account, AccountField::UserId);
            if (showPasswords) {
                line += '\t' + FieldText(*account, AccountField::Password);
            }
            std::cout << line << '\n';
            WipeSecret(line);
        }
    }
    return Finish();
}

int Show(const CliOptions& options) {
    if (options.args.size() != 2) {
        return UsageFail("show takes FILE and NAME");
    }
    AccountLists lists;
    if (const int code = LoadAccounts(options, options.args[0], lists); code != kExitOk) {
        return code;
    }
    const std::string name = CodePage::Program()->FromUtf8(options.args[1]);
    int shown = 0;
    for (AccountKind kind : kAccountKinds) {
        for (int slot = 0; slot < lists.GetSlotCount(kind); ++slot) {
            const Account* account = lists.GetAccount(kind, slot);
            if (account == nullptr || account->name != name) {
                continue;
            }
            if (shown++ > 0) {
                std::cout << '\n';
            }
            for (AccountField field : RecordFields(kind)) {
                // Labels that end in a blank already separate themselves from the value.
                std::string label = FieldLabel(kind, field);
                if (!label.ends_with(' ')) {
                    label += ' ';
                }
                std::string line = label + FieldText(*account, field);
                std::cout << line << '\n';
                WipeSecret(line);
            }
        }
    }
    if (shown == 0) {
        return Fail(kExitFile,
                    "no account named \"" + options.args[1] + "\" in " + options.args[0]);
    }
    return Finish();
}

} // namespace

const CliCommand kListCommand = {
    "list", "[--password-file F | --password-stdin] list FILE [--show-passwords]", List};
const CliCommand kShowCommand = {"show", "[--password-file F | --password-stdin] show FILE NAME",
                                 Show};
