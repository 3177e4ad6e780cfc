#include "option_checks.h"

#include <errno.h>
#include <math.h>
#include <stdlib.h>

namespace tokenweave_cli {

CLI::Validator at_least_one() {
    return CLI::Validator(
        [](std::string &text) -> std::string {
            errno = 0;
            char *end = nullptr;
            long long value = strtoll(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno != 0) {
                return "\"" + text + "\" is not a whole number";
            }
            if (value < 1) {
                return "must be at least 1, not " + text;
            }
            return std::string();
        },
        "NUMBER >= 1");
}

CLI::Validator grade_from_0_to_1() {
    return CLI::Validator(
        [](std::string &text) -> std::string {
            char *end = nullptr;
            double value = strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !isfinite(value)) {
                return "\"" + text + "\" is not a number";
            }
            if (value < 0.0 || value > 1.0) {
                return "must be from 0 to 1, not " + text;
            }
            return std::string();
        },
        "0..1");
}

}  // namespace tokenweave_cli
