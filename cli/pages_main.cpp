// boxquill-cli-pages: a build-time tool that writes boxquill-cli's man page or bash
// completion to standard output, from the same tables the program runs on.
//   boxquill-cli-pages man VERSION | boxquill-cli-pages bash

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/reference_pages.h"

int main(int argc, char** argv) {
    const std::string_view what = argc > 1 ? argv[1] : "";
    std::string text;
    if (what == "man" && argc == 3) {
        text = bq::cli::manPage(argv[2]);
    } else if (what == "bash" && argc == 2) {
        text = bq::cli::bashCompletion();
    } else {
        std::fputs("usage: boxquill-cli-pages man VERSION | boxquill-cli-pages bash\n", stderr);
        return 2;
    }
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                   std::fflush(stdout) == 0
               ? 0
               : 1;
}
