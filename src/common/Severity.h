#pragma once

namespace lvx {

// How a flow's status text reads. A window picks the colour and how long the text stays from
// it; a log keeps every one.
enum class Severity {
    Info,    // a state or a step ("0%", "No Changed."); an empty text: nothing to say any more
    Success, // the flow did what was asked ("Ok.")
    Warning, // the user's entry needs a look before anything is sent ("63 Letters Limited!")
    Failure, // the flow failed or refused ("Edid Write Fail.", "Illegal FW.")
};

inline const char* SeverityName(Severity severity) {
    switch (severity) {
    case Severity::Info:
        return "info";
    case Severity::Success:
        return "success";
    case Severity::Warning:
        return "warning";
    case Severity::Failure:
        return "failure";
    }
    return "info";
}

} // namespace lvx
