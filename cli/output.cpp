#include "cli/output.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace bq::cli {

void writeOut(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void FileOutput::out(std::string_view bytes) {
    if (held_) {
        out_.append(bytes);
    } else {
        writeOut(bytes);
    }
}

void FileOutput::err(std::string_view line) {
    const std::string shown =
        isTerminal(stderr) ? escapeText(line, Escape::Lines) : std::string(line);
    if (held_) {
        err_ += shown;
    } else {
        std::fflush(stdout);  // stdout is buffered into files: what came before comes first
        std::fwrite(shown.data(), 1, shown.size(), stderr);
    }
}

void FileOutput::flush() {
    if (!err_.empty()) {
        std::fflush(stdout);
        std::fwrite(err_.data(), 1, err_.size(), stderr);
    }
    writeOut(out_);
    err_.clear();
    out_.clear();
}

namespace {

void appendHex(std::string& out, const char* format, unsigned value) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, format, value);
    out += escaped;
}

}  // namespace

bool isTerminal(std::FILE* stream) {
#if defined(_WIN32)
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void writeStoredText(std::string_view text) {
    writeOut(isTerminal(stdout) ? escapeText(text, Escape::Lines) : std::string(text));
}

std::string jsonText(const nlohmann::ordered_json& value, int indent) {
    const std::string dumped =
        value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    // Outside strings JSON is ASCII, so these bytes are a string's C1 control or DEL.
    std::string out;
    out.reserve(dumped.size() + 1);
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        const auto c = static_cast<unsigned char>(dumped[i]);
        if (c == 0x7F) {
            out += "\\u007f";
        } else if (c == 0xC2 && i + 1 < dumped.size() &&
                   static_cast<unsigned char>(dumped[i + 1]) < 0xA0) {
            appendHex(out, "\\u%04x", static_cast<unsigned char>(dumped[++i]));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\n";
}

bool openListed(Session& session, const std::string& path, bool json, bool several,
                FileOutput& output, bool errorObject) {
    session.platform.errorSink = output.errorSink();
    if (several) {
        session.platform.context = path + ": ";
    }
    const bool objectOnFailure = json && (several || errorObject);
    session.platform.collectMessages = objectOnFailure;
    if (session.open(path)) {
        return true;
    }
    if (objectOnFailure) {
        std::string error;
        for (const std::string& message : session.platform.messages) {
            error += (error.empty() ? "" : "\n") + message;
        }
        output.out(jsonText({{"file", path}, {"error", error}}, several ? -1 : 2));
        if (!several) {
            // One file: the object on stdout, and the message on stderr as ever.
            session.platform.collectMessages = false;
            for (const std::string& message : session.platform.messages) {
                session.platform.report("", message);
            }
        }
    }
    return false;
}

void reportFolderError(const std::string& path, const std::string& message, bool json,
                       FileOutput& output) {
    if (json) {
        output.out(jsonText({{"file", path}, {"error", message}}, -1));
    } else {
        output.err("boxquill-cli: " + path + ": " + message + "\n");
    }
}

}  // namespace bq::cli
