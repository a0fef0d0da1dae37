// The read-mode prefix and suffix as an operator (or a damaged configuration file) may give
// them: any text is either refused with a reason and no keys, or read into a bounded list
// of keys and pauses.
#include "FuzzCheck.h"
#include "link/KeyNotation.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const KeyNotation::Result result = KeyNotation::parse(text);
    if (!result.ok()) {
        FUZZ_CHECK(result.actions.isEmpty());
        FUZZ_CHECK(result.errorPosition >= 1 && result.errorPosition <= text.size() + 1);
        FUZZ_CHECK(!result.message().isEmpty());
        return 0;
    }
    FUZZ_CHECK(result.actions.size() <= KeyNotation::kMaxActions);
    int totalDelay = 0;
    for (const KeyAction &action : result.actions) {
        switch (action.kind) {
        case KeyAction::Kind::Delay:
            FUZZ_CHECK(action.delayMs >= 0 && action.delayMs <= KeyNotation::kMaxDelayMs);
            totalDelay += action.delayMs;
            break;
        case KeyAction::Kind::Key:
            FUZZ_CHECK(action.key != KeyAction::Key::Unnamed);
            FUZZ_CHECK(!KeyNotation::keyName(action.key).isEmpty());
            break;
        case KeyAction::Kind::Character:
            FUZZ_CHECK(action.character <= 0x10FFFF);
            break;
        }
        FUZZ_CHECK(action.modifiers <= (KeyAction::Shift | KeyAction::Control | KeyAction::Alt));
    }
    FUZZ_CHECK(totalDelay <= KeyNotation::kMaxTotalDelayMs);
    return 0;
}
