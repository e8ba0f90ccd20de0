// report.cpp: the diagnostics as compiler-style text lines and as JSON.
#include "check/check.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace check {

bool hasErrors(const std::vector<Diagnostic>& diagnostics) {
    return std::any_of(diagnostics.begin(), diagnostics.end(),
                       [](const Diagnostic& d) { return d.severity == Severity::Error; });
}

bool hasWarningsOrErrors(const std::vector<Diagnostic>& diagnostics) {
    return std::any_of(diagnostics.begin(), diagnostics.end(),
                       [](const Diagnostic& d) { return d.severity != Severity::Note; });
}

namespace {

const char* severityWord(Severity severity) {
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: break;
    }
    return "note";
}

}  // namespace

std::string formatText(const std::vector<Diagnostic>& diagnostics) {
    std::string text;
    for (const Diagnostic& d : diagnostics) {
        const std::string place = d.file + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) + ": ";
        text += place + severityWord(d.severity) + ": " + d.message + "\n";
        if (!d.hint.empty()) text += place + "note: " + d.hint + "\n";
    }
    return text;
}

std::string formatJson(const std::vector<Diagnostic>& diagnostics) {
    nlohmann::json list = nlohmann::json::array();
    for (const Diagnostic& d : diagnostics) {
        list.push_back({{"file", d.file},
                        {"line", d.line},
                        {"column", d.column},
                        {"severity", severityWord(d.severity)},
                        {"message", d.message},
                        {"hint", d.hint.empty() ? nlohmann::json(nullptr) : nlohmann::json(d.hint)}});
    }
    return list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace check
