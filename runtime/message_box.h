#pragma once
// Message boxes and the common error report, through which every routine speaks.

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/run_time_error.h"

namespace tollwick {

// The caption of every box shown without one, and the title in the error report.
inline constexpr const char* kApplicationTitle = "Tollwick";
// Part of the single-instance refusal's caption and the character file's version field.
inline constexpr const char* kVersionText = "1.01  ";

// Shows `prompt` with `style`; the caption is `caption`, or the application title when
// absent. Returns the answer code. Errors pass to the caller.
int16_t sysMessageBox(const std::string& prompt, int32_t style,
                      const std::optional<std::string>& caption = std::nullopt);

// Shows `prompt` with style 0 and the application title. Always returns 0.
int16_t sysShowMessage(const std::string& prompt);

// The text of the common error report: "Error '<description>' occurred in (Tollwick)"
// followed by `routineText` (module, colon, routine and "!").
std::string errorReportText(const std::string& description, const std::string& routineText);

// Shows the common error report for `error` with sysShowMessage (and notes that a
// failure was reported). An error raised while showing it passes to the caller.
void reportError(const RunTimeError& error, const std::string& routineText);

// Notes that a box of this run has reported a failure: the common error report does so
// itself, a routine that tells of a failure in its own words calls this. The exit code
// of the program tells scripts so.
void noteFailureReported();
bool failureReported();
// Forgets it again (tests that run several sequences in one process).
void clearFailureReported();

}  // namespace tollwick
