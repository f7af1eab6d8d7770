// Runs the real ombrivault-cli binary against real files.
#include "base/FileNames.h"
#include "passwords/PasswordsFile.h"
#include "support/CliFixture.h"

#include <gtest/gtest.h>

#include <set>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>

namespace fs = std::filesystem;

namespace {

using Result = CliResult;

class CliTest : public CliFixture {
protected:
    // Runs a command that must fail with `code`, saying `message` and printing nothing.
    void ExpectFailure(const std::string& args, int code, const std::string& message) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, code) << args << "\n" << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << "\n" << r.err;
        EXPECT_EQ(r.out, "") << args;
    }
};

TEST_F(CliTest, EncryptThenDecryptEveryForm) {
    for (const char* name : {"a.ovt", "b.ETX", "c.ovd", "d.ovf"}) {
        // Passwords files hold a passwords document.
        const std::string text = HasExtension(name, ".ovd") || HasExtension(name, ".ovf")
                                     ? "<DOC><WEB_ACCOUNTS/>\r\n<!-- \xC3\xA4\xE2\x82\xAC --></DOC>"
                                     : "line one\r\nline two: \xC3\xA4\xE2\x82\xAC\n";
        Write("in.txt", text);
        Result r = Run(std::string("--password-file pw encrypt in.txt -o ") + name);
        ASSERT_EQ(r.code, 0) << name << r.err;
        r = Run(std::string("--password-stdin decrypt ") + name, "secret\n");
        EXPECT_EQ(r.code, 0) << name << r.err;
        EXPECT_EQ(r.out, text) << name;
        r = Run(std::string("decrypt ") + name + " -o out.txt --password-file pw");
        EXPECT_EQ(r.code, 0) << name;
        EXPECT_EQ(Read("out.txt"), text) << name;
    }
    // Standard input carries the password on its first line and the text after it.
    Result r = Run("--password-stdin encrypt - -o e.ovt", "secret\nfrom stdin");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Run("--password-file pw decrypt e.ovt").out, "from stdin");
}

// Hostile targets and sources: each is refused with its exit code and a message that names
// the cause, and the disk is as it was (no plaintext anywhere, no leftover file).
TEST_F(CliTest, HostileTargetsAndSourcesAreRefused) {
    Write("in.txt", "plain secret text");
    ASSERT_EQ(Run("--password-file pw encrypt in.txt -o doc.ovt").code, 0);
    const std::string doc = Read("doc.ovt");
    const bool root = ::geteuid() == 0;
    const std::string d = dir_.path().string() + "/";

    ASSERT_EQ(::mkfifo((d + "fifo").c_str(), 0666), 0);
    ASSERT_EQ(::mkfifo((d + "f.ovt").c_str(), 0666), 0);
    fs::create_directory(d + "sub");
    fs::create_directory(d + "shared");
    ASSERT_EQ(::chmod((d + "shared").c_str(), 01777), 0);
    fs::create_symlink(d + "mine.txt", d + "shared/mine.txt");
    fs::create_symlink(d + "doc.ovt", d + "same.ovt");
    if (root) {
        ASSERT_EQ(::mknod((d + "n").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        Write("grab.txt", "");
        fs::create_symlink(d + "grab.txt", d + "shared/notes.txt");
        ASSERT_EQ(::lchown((d + "shared/notes.txt").c_str(), 4242, 4242), 0);
    }
    Write("bad.txt", "ok \xC3\xA4 then \xE2\x82 broken");
    Write("overlong.txt", "valid \xC0\xAF overlong");
    Write("nulpw", std::string("\0secret\n", 8));
    Write("longpw", std::string(5000, 'a'));

    const auto entries = [&] {
        std::set<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir_.path())) {
            names.insert(e.path().string());
        }
        return names;
    };
    const std::set<std::string> before = entries();

    const struct {
        const char* args;
        const char* env;
        int code;
        const char* err;
        bool needsRoot;
    } cases[] = {
        {"--password-file pw decrypt doc.ovt -o n", "", 3, "n: Not a regular file", true},
        {"--password-file pw decrypt doc.ovt -o fifo", "", 3, "fifo: Not a regular file", false},
        {"--password-file pw decrypt f.ovt", "", 3, "f.ovt: Not a regular file", false},
        {"--password-file pw encrypt fifo -o out.ovt", "", 3, "fifo: Not a regular file", false},
        {"--password-file pw encrypt sub -o out.ovt", "", 3, "sub: Is a directory", false},
        {"--password-file pw decrypt doc.ovt -o sub", "", 3, "sub: Is a directory", false},
        {"--password-file pw decrypt doc.ovt -o shared/notes.txt", "", 3, "symbolic link", true},
        {"--password-file pw encrypt doc.ovt -o doc.ovt", "", 2, "is the input file", false},
        {"--password-file pw encrypt doc.ovt -o same.ovt", "", 2, "is the input file", false},
        {"--password-file pw decrypt same.ovt -o doc.ovt", "", 2, "is the input file", false},
        {"--password-file pw encrypt bad.txt -o out.ovt", "", 2, "at byte offset 11", false},
        {"--password-file pw encrypt overlong.txt -o out.ovt", "", 2, "at byte offset 6", false},
        {"--password-file nulpw encrypt in.txt -o out.ovt", "", 2, "starts with a NUL", false},
        {"--password-file longpw encrypt in.txt -o out.ovt", "", 2, "longer than 4096", false},
        {"--password-file /dev/zero encrypt in.txt -o out.ovt", "", 2, "longer than 4096", false},
        {"--password-file sub decrypt doc.ovt", "", 3, "sub: Is a directory", false},
        {"--password-file pw encrypt in.txt -o out.ovd", "", 2, "not a passwords document", false},
        {"--password-file pw decrypt doc.ovt", "OMBRIVAULT_CODEPAGE=UTF-16 ", 2,
         "OMBRIVAULT_CODEPAGE", false},
        {"--password-file pw decrypt doc.ovt", "OMBRIVAULT_CODEPAGE=UCS-2LE ", 2,
         "OMBRIVAULT_CODEPAGE", false},
    };
    for (const auto& c : cases) {
        if (c.needsRoot && !root) {
            continue;
        }
        const Result r = Run(c.args, "", c.env);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.args;
    }

    EXPECT_EQ(Read("doc.ovt"), doc);
    EXPECT_FALSE(Exists("out.ovt"));
    EXPECT_FALSE(Exists("out.ovd"));
    EXPECT_TRUE(fs::is_fifo(d + "fifo"));
    EXPECT_TRUE(fs::is_empty(d + "sub"));
    if (root) {
        EXPECT_TRUE(fs::is_character_file(d + "n"));
        EXPECT_EQ(Read("grab.txt"), "");
        EXPECT_TRUE(fs::is_symlink(d + "shared/notes.txt"));
    }
    EXPECT_EQ(entries(), before) << "nothing new, nothing temporary left anywhere";

    // A link that is ours is followed even in a shared folder, and stays a link.
    const Result r = Run("--password-file pw decrypt doc.ovt -o shared/mine.txt");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(d + "shared/mine.txt"));
    EXPECT_EQ(Read("mine.txt"), "plain secret text");
}

TEST_F(CliTest, APasswordGivenAsAnArgumentIsNeverRepeated) {
    Write("in.txt", "text");
    ASSERT_EQ(Run("--password-file pw encrypt in.txt -o doc.ovt").code, 0);
    for (const char* args :
         {"--password hunter2 decrypt doc.ovt", "decrypt doc.ovt --password hunter2",
          "decrypt --password=hunter2 doc.ovt", "-p hunter2 list doc.ovd", "--pw hunter2"}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_EQ(r.err.find("hunter2"), std::string::npos) << args << "\n" << r.err;
        EXPECT_NE(r.err.find("--password-file"), std::string::npos) << args;
    }
}

// While the password is asked for, echo is off and the waiting process cannot be read by
// other processes of its user; Ctrl-C there ends it with the echo switched back on.
TEST_F(CliTest, InterruptedPromptRestoresEchoAndMemoryStaysUnreadable) {
    Write("in.txt", "text");
    ASSERT_EQ(Run("--password-file pw encrypt in.txt -o doc.ovt").code, 0);
    ASSERT_EQ(::chmod((dir_ / "doc.ovt").c_str(), 0644), 0);
    const bool root = ::geteuid() == 0;

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slaveName = ::ptsname(master);
    const std::string cli = std::string(OV_BINARY_DIR) + "/bin/ombrivault-cli";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setsid();
        const int slave = ::open(slaveName.c_str(), O_RDWR);
        ::ioctl(slave, TIOCSCTTY, 0);
        for (int fd = 0; fd < 3; ++fd) {
            ::dup2(slave, fd);
        }
        // As another user, so that the owner of its /proc entries shows whether it can be read.
        if (::chdir(dir_.path().c_str()) != 0 ||
            (root && (::setgid(4242) != 0 || ::setuid(4242) != 0))) {
            ::_exit(126);
        }
        ::execl(cli.c_str(), cli.c_str(), "decrypt", "doc.ovt", nullptr);
        ::_exit(127);
    }
    std::string seen;
    char buffer[256];
    while (seen.find("Password: ") == std::string::npos) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        seen.append(buffer, static_cast<size_t>(n));
    }
    ASSERT_NE(seen.find("Password: "), std::string::npos) << seen;
    const int slave = ::open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios mode{};
    ASSERT_EQ(::tcgetattr(slave, &mode), 0);
    EXPECT_EQ(mode.c_lflag & ECHO, 0u) << "echo is off at the prompt";
    if (root) {
        struct stat st {};
        ASSERT_EQ(::stat(("/proc/" + std::to_string(child) + "/mem").c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 0u) << "a dumpable process's entries would belong to its user";
    }

    ASSERT_EQ(::write(master, "\x03", 1), 1); // Ctrl-C
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    ASSERT_EQ(::tcgetattr(slave, &mode), 0);
    EXPECT_NE(mode.c_lflag & ECHO, 0u) << "echo is back on";
    ::close(slave);
    ::close(master);
}

TEST_F(CliTest, DecryptsAFileMadeElsewhere) {
    fs::copy_file(std::string(OV_TEST_FIXTURES) + "/crypto/legacy.etx", dir_.path() / "known.etx");
    const Result r = Run("--password-file pw decrypt known.etx");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 12), "First line\r\n");
}

TEST_F(CliTest, FailuresHaveTheirExitCodesAndLeaveNoOutput) {
    Write("in.txt", "text");
    ASSERT_EQ(Run("--password-file pw encrypt in.txt -o doc.ovt").code, 0);
    const std::string before = Read("doc.ovt");
    Write("empty.txt", "");
    Write("empty.etx", "");

    const struct {
        const char* args;
        int code;
        const char* err;
    } cases[] = {
        {"--password-file wrong decrypt doc.ovt -o out.txt", 1,
         "Failed to decrypt the file: doc.ovt"},
        {"--password-file pw decrypt missing.ovt", 3, "missing.ovt"},
        {"--password-file nofile decrypt doc.ovt", 3, "nofile"},
        {"--password-file pw decrypt empty.etx", 3, "empty"},
        {"--password-file pw encrypt missing.txt -o doc.ovt", 3, "missing.txt"},
        {"--password-file pw encrypt empty.txt -o doc.ovt", 3, "empty"},
        {"--password-file pw encrypt in.txt -o no/such/dir/x.ovt", 3, "x.ovt"},
        {"--password-file pw decrypt doc.txt", 2, "usage:"},
        {"--password-file pw encrypt in.txt -o out.txt", 2, "usage:"},
        {"--password-file pw encrypt in.txt", 2, "usage:"},
        {"--password-file pw --password-stdin decrypt doc.ovt", 2, "not both"},
        {"frobnicate", 2, "unknown command"},
        {"", 2, "no command"},
        {"decrypt doc.ovt", 2, "no password"},
    };
    for (const auto& c : cases) {
        ExpectFailure(c.args, c.code, c.err);
    }
    EXPECT_FALSE(Exists("out.txt"));
    EXPECT_EQ(Read("doc.ovt"), before);
    EXPECT_EQ(Run("--help").code, 0);
}

// A passwords file with every kind of account, a deleted slot, and values holding tabs and
// line breaks, saved under the password in "pw".
void WriteAccountsFile(const std::string& path) {
    AccountLists lists;
    lists.AddAccount(AccountKind::Web, "deleted");
    WebAccount* web = lists.GetWebAccount(lists.AddAccount(AccountKind::Web, "Bank"));
    web->address = "https://bank.example";
    web->userId = "tab\there";
    web->password = "p<&>w";
    web->notes = "two\r\nlines";
    lists.DeleteAccount(AccountKind::Web, 0);
    MailAccount* mail = lists.GetMailAccount(lists.AddAccount(AccountKind::Mail, "Bank"));
    mail->address = "me@mail.example";
    mail->webInterface = "https://mail.example";
    mail->smtpServer = "smtp";
    mail->popServer = "pop";
    mail->userId = "me";
    mail->password = "mpw";
    OtherAccount* other = lists.GetOtherAccount(lists.AddAccount(AccountKind::Other, "Card"));
    other->userId = "4111\r1111\n1111";
    other->password = "1234";
    ASSERT_EQ(SavePasswordsFile(path, "secret", lists), PasswordsSaveStatus::Saved);
}

TEST_F(CliTest, ListPrintsOneLinePerAccountInFileOrder) {
    WriteAccountsFile(dir_ / "acc.ovd");
    Result r = Run("--password-file pw list acc.ovd");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "web\tBank\thttps://bank.example\ttab\\there\n"
                     "mail\tBank\tme@mail.example\tme\n"
                     "other\tCard\t\t4111\\n1111\\n1111\n");
    r = Run("list --show-passwords acc.ovd --password-stdin", "secret\n");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "web\tBank\thttps://bank.example\ttab\\there\tp<&>w\n"
                     "mail\tBank\tme@mail.example\tme\tmpw\n"
                     "other\tCard\t\t4111\\n1111\\n1111\t1234\n");

    // A file made elsewhere, in the legacy form.
    fs::copy_file(std::string(OV_TEST_FIXTURES) + "/passwords/sample.ovf",
                  dir_.path() / "sample.OVF");
    Write("fixture-pw", "fixture pw\n");
    r = Run("--password-file fixture-pw list sample.OVF");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "web\tBank & Co\thttps://bank.example/login?a=1&b=2\tjdoe\n"
                     "web\tEmpty\t\t\n"
                     "mail\tMail\tme@mail.example\tme\n"
                     "other\tCard\t\t4111 1111 1111 1111\n");
}

TEST_F(CliTest, ShowPrintsEveryFieldOfEachAccountOfThatName) {
    WriteAccountsFile(dir_ / "acc.ovd");
    Result r = Run("--password-file pw show acc.ovd Bank");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Web Account: Bank\n"
                     "Web Address: https://bank.example\n"
                     "User ID: tab\\there\n"
                     "Password: p<&>w\n"
                     "Notes: two\\nlines\n"
                     "\n"
                     "Email Account: Bank\n"
                     "Mail Address: me@mail.example\n"
                     "WebMail Interface: https://mail.example\n"
                     "SMTP Server: smtp\n"
                     "POP Server: pop\n"
                     "User ID: me\n"
                     "Password: mpw\n"
                     "Notes: \n");
    r = Run("--password-file pw show acc.ovd Card");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Account: Card\n"
                     "Description (Credit Card No, Bank Account, Location, etc.): "
                     "4111\\n1111\\n1111\n"
                     "PIN (Pass Code, Key, Password, etc.): 1234\n"
                     "Notes: \n");
}

TEST_F(CliTest, ControlCharactersFromTheFileArePrintedAsEscapes) {
    AccountLists lists;
    WebAccount* web =
        lists.GetWebAccount(lists.AddAccount(AccountKind::Web, "\x1B]0;owned\x07red"));
    web->address = "C:\\new\\dir";
    web->userId = "del\x7F c1\xC2\x9B bell\x01";
    web->notes = "a\x1B[2Jb";
    ASSERT_EQ(SavePasswordsFile(dir_ / "esc.ovd", "secret", lists), PasswordsSaveStatus::Saved);
    Result r = Run("--password-file pw list esc.ovd");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "web\t\\x1B]0;owned\\x07red\tC:\\\\new\\\\dir\t"
                     "del\\x7F c1\\u009B bell\\x01\n");
    r = Run("--password-file pw show esc.ovd \"$(printf '\\033]0;owned\\007red')\"");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Notes: a\\x1B[2Jb\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
}

TEST_F(CliTest, AccountCommandFailures) {
    WriteAccountsFile(dir_ / "acc.ovd");
    fs::copy_file(dir_ / "acc.ovd", dir_.path() / "acc.ovt");
    // Files that decrypt but hold no passwords document.
    ASSERT_TRUE(SaveEncryptedText(dir_ / "text.ovd", "plain text", "secret", BlobForm::Current));
    ASSERT_TRUE(
        SaveEncryptedText(dir_ / "broken.ovf", "<DOC><WEB_ACCOUNTS>", "secret", BlobForm::Legacy));
    const struct {
        const char* args;
        int code;
        const char* err;
    } cases[] = {
        {"--password-file wrong list acc.ovd", 1, "Failed to decrypt the file: acc.ovd"},
        {"--password-file wrong show acc.ovd Bank", 1, "Failed to decrypt the file: acc.ovd"},
        {"--password-file pw list missing.ovd", 3, "missing.ovd"},
        {"--password-file pw list text.ovd", 1, "text.ovd decrypted, but it holds no passwords"},
        {"--password-file pw show broken.ovf Bank", 1, "holds no passwords document"},
        {"--password-file pw show acc.ovd Nobody", 3, "no account named \"Nobody\""},
        {"--password-file pw show acc.ovd bank", 3, "no account named"},
        {"--password-file pw list acc.ovt", 2, "usage:"},
        {"--password-file pw list", 2, "usage:"},
        {"--password-file pw list acc.ovd --show-secrets", 2, "usage:"},
        {"--password-file pw show acc.ovd", 2, "usage:"},
        {"--password-file pw show acc.ovd Bank extra", 2, "usage:"},
        {"list acc.ovd", 2, "no password"},
    };
    for (const auto& c : cases) {
        ExpectFailure(c.args, c.code, c.err);
    }
}

} // namespace
