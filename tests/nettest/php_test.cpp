// Locating php-cgi: the stored path, PHPRC, PATH, then the package
// directories, one listing each; and the script directory.
#include "nettest/php.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "config/ini.h"
#include "platform/fs.h"
#include "support/scratch.h"

namespace ovr::nettest {
namespace {
namespace ini = config::ini;
using test::ScratchDir;
using test::write_text;

std::string program(const std::string& path, mode_t mode = 0755) {
    platform::fs::create_directories(platform::fs::parent_directory(path));
    write_text(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), mode);
    return path;
}

class PhpFind : public ::testing::Test {
protected:
    PhpSearch nowhere() const {
        PhpSearch s;
        s.directories = {};
        return s;
    }
    ScratchDir d;
    std::string rirer = d.file("RIRER.INI");
};

TEST_F(PhpFind, LooksInOrderAndRemembersTheHit) {
    PhpSearch s = nowhere();
    s.phprc = d.file("phprc");
    s.path = " " + d.file("p1") + "::" + d.file("p2");
    s.directories = {d.file("std1/"), d.file("std2/")};
    EXPECT_FALSE(find_php(rirer, s));

    // Filled from the last place to the first: each find takes the earliest
    // place that has one.
    program(d.file("std2/php-cgi7.4"));
    program(d.file("std2/php-cgi8.2"));
    program(d.file("std2/php-cgi8.10"));
    program(d.file("std2/php-cgi9.0"), 0644);  // not executable
    EXPECT_EQ(find_php(rirer, s).value_or(""), d.file("std2/php-cgi8.10"));
    EXPECT_EQ(ini::read_string(rirer, "RIRER", "PHP-CGI.EXE"), d.file("std2/php-cgi8.10"));

    std::string order[] = {d.file("std1/php-cgi"), d.file("p2/php-cgi"), d.file("p1/php-cgi"),
                           d.file("phprc/php-cgi")};
    for (const std::string& p : order) {
        program(p);
        ini::remove_key(rirer, "RIRER", "PHP-CGI.EXE");
        EXPECT_EQ(find_php(rirer, s).value_or(""), p);
    }
}

TEST_F(PhpFind, AStoredPathCountsOnlyWhileItIsAnExecutableFile) {
    PhpSearch s = nowhere();
    std::string stored = program(d.file("elsewhere/php-cgi"));
    write_text(rirer, "[RIRER]\nPHP-CGI.EXE=" + stored + "\n");
    EXPECT_EQ(find_php(rirer, s).value_or(""), stored);
    ::chmod(stored.c_str(), 0644);
    s.phprc = d.file("rc");
    std::string rc = program(d.file("rc/php-cgi"));
    EXPECT_EQ(find_php(rirer, s).value_or(""), rc);  // key dropped, search went on
    ::unlink(rc.c_str());
    EXPECT_FALSE(find_php(rirer, s));
    EXPECT_FALSE(ini::read_value(rirer, "RIRER", "PHP-CGI.EXE"));
    // A directory of that name is no interpreter.
    platform::fs::create_directories(d.file("dir/php-cgi"));
    s.phprc = d.file("dir");
    EXPECT_FALSE(find_php(rirer, s));
}

TEST_F(PhpFind, NothingBelowAListedDirectoryAndAnyPathLength) {
    PhpSearch s = nowhere();
    program(d.file("std/sub/php-cgi"));
    program(d.file("std/sub/php-cgi8.2"));
    s.directories = {d.file("std/")};
    // A PATH far over 260 characters is still read, element by element.
    for (int i = 0; i < 100; ++i) s.path += d.file("none" + std::to_string(i)) + ":";
    EXPECT_FALSE(find_php(rirer, s));
    s.path += d.file("last");
    std::string last = program(d.file("last/php-cgi"));
    EXPECT_EQ(find_php(rirer, s).value_or(""), last);
}

TEST_F(PhpFind, TheRealInterpreterWhereInstalled) {
    if (::access("/usr/bin/php-cgi", X_OK) != 0) GTEST_SKIP() << "Debian's php-cgi is not installed";
    PhpSearch s;
    s.path = "";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(find_php(rirer, s).value_or(""), "/usr/bin/php-cgi");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(PhpFind, ScriptDirectoryEndsInASlash) {
    EXPECT_EQ(php_directory(rirer, d.path()), d.path() + "PHP/");
    write_text(rirer, "[RIRER]\nPHPDir=/srv/php\n");
    EXPECT_EQ(php_directory(rirer, d.path()), "/srv/php/");
    write_text(rirer, "[RIRER]\nPHPDir=/srv/php/\n");
    EXPECT_EQ(php_directory(rirer, d.path()), "/srv/php/");
}

}  // namespace
}  // namespace ovr::nettest
