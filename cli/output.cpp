#include "cli/output.h"

#include <cstdio>

namespace bq::cli {

void writeOut(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

std::string jsonText(const nlohmann::ordered_json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

bool openListed(Session& session, const std::string& path, bool json, bool several) {
    if (several) {
        session.platform.context = path + ": ";
        session.platform.collectMessages = json;
    }
    if (session.open(path)) {
        return true;
    }
    if (several && json) {
        std::string error;
        for (const std::string& message : session.platform.messages) {
            error += (error.empty() ? "" : "\n") + message;
        }
        writeOut(jsonText({{"file", path}, {"error", error}}, -1));
    }
    return false;
}

}  // namespace bq::cli
