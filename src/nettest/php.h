// The local PHP interpreter and script directory of "Enable Local PHP
// Processing". The interpreter, once found, is remembered in RIRER.INI.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ovr::nettest {

inline constexpr const char* kPhpUnavailable = "PHP support not available, unable to locate php-cgi.exe";
// The key keeps its historical name.
inline constexpr const char* kPhpPathKey = "PHP-CGI.EXE";

// Where find_php looks besides the stored path: the process's PHPRC and PATH
// and the directories where packages install php-cgi. Tests hand in their own.
struct PhpSearch {
    std::string phprc;
    std::string path;
    std::vector<std::string> directories{"/usr/local/bin/", "/usr/bin/", "/usr/lib/cgi-bin/", "/opt/php/bin/"};
};
PhpSearch php_search_from_environment();

// The interpreter: RIRER / "PHP-CGI.EXE" when it names an executable regular
// file (else the key is removed); then PHPRC + "/php-cgi"; then each element
// of PATH; then in each directory "php-cgi" and the highest "php-cgiX.Y" (one
// listing, nothing below it). A hit is stored. Nothing when none is found.
std::optional<std::string> find_php(const std::string& rirer_ini, const PhpSearch& search);

// RIRER / PHPDir with a trailing "/", or the program data directory + "PHP/".
std::string php_directory(const std::string& rirer_ini, const std::string& program_data);

}  // namespace ovr::nettest
