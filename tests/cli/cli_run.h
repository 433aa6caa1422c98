#pragma once
// Runs the built boxquill-cli and captures what it prints, for tests of the program as
// users run it. Native only: the Windows build has no shell to start it from its tests.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/ui/test_files.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace bq::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

inline std::string asText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Runs a shell command with stdout and stderr captured in `folder`.
inline CliResult runShell(const TempFolder& folder, const std::string& command) {
    CliResult result;
#if defined(_WIN32)
    static_cast<void>(folder);
    static_cast<void>(command);
#else
    const std::string outPath = folder.file("run.stdout");
    const std::string errPath = folder.file("run.stderr");
    const std::string full =
        "sh -c " + shellQuote(command) + " >" + shellQuote(outPath) + " 2>" + shellQuote(errPath);
    const int status = std::system(full.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = asText(readFile(outPath));
    result.err = asText(readFile(errPath));
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
#endif
    return result;
}

// Runs `prefix boxquill-cli ARGS...`; `prefix` is shell text placed before the program
// (limits, traps).
inline CliResult runCli(const TempFolder& folder, const std::vector<std::string>& args,
                        const std::string& prefix = "") {
    std::string command = prefix + "exec " + shellQuote(BOXQUILL_CLI_PATH);
    for (const std::string& arg : args) {
        command += " " + shellQuote(arg);
    }
    return runShell(folder, command);
}

#if defined(_WIN32)
#define BOXQUILL_NEEDS_SHELL() GTEST_SKIP() << "the program is run through a POSIX shell"
#else
#define BOXQUILL_NEEDS_SHELL() static_cast<void>(0)
#endif

// The corpus of real files, or empty when it is not here.
inline std::filesystem::path corpusDir() {
    const char* fromEnvironment = std::getenv("BOXQUILL_CORPUS_DIR");
    std::filesystem::path dir = fromEnvironment != nullptr && *fromEnvironment != '\0'
                                    ? std::filesystem::path(fromEnvironment)
                                    : std::filesystem::path(BOXQUILL_CORPUS_DIR);
    std::error_code error;
    return std::filesystem::is_directory(dir / "generated", error) ? dir : std::filesystem::path();
}

// Whether a program can be found on the PATH.
inline bool haveTool(const std::string& name) {
#if defined(_WIN32)
    static_cast<void>(name);
    return false;
#else
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

}  // namespace bq::test
