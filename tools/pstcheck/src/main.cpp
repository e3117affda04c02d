// pstcheck FILE [--quiet] [--json]
// Exit 0 when the file is structurally sound, 1 when it is not (one line per finding), 2 when
// the command line is wrong or the file cannot be read. --quiet leaves out warnings; --json
// prints the whole report as one JSON object instead.
#include <cstdio>
#include <iostream>
#include <string>

#include "pstcheck/checker.h"

int main(int argc, char** argv) {
    std::string path;
    bool quiet = false, json = false, bad = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--quiet") quiet = true;
        else if (a == "--json") json = true;
        else if (a.empty() || a[0] == '-' || !path.empty()) bad = true;
        else path = a;
    }
    if (path.empty() || bad) {
        std::cerr << "usage: pstcheck FILE [--quiet] [--json]\n";
        return 2;
    }
    try {
        pstcheck::Report report = pstcheck::checkFile(path);
        if (json) std::cout << report.toJson();
        else std::cout << report.toText(!quiet);
        return report.clean() ? 0 : 1;
    } catch (const pstcheck::IoError& e) {
        std::cerr << "pstcheck: " << e.what() << "\n";
        return 2;
    }
}
