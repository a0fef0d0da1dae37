#include "platform/KeyboardOutput.h"

#if defined(Q_OS_WIN)
#include "platform/SendInputKeyboard.h"
#elif defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include "platform/XTestKeyboard.h"
#endif

namespace {

// A desktop the station has no way of typing on.
class NoKeyboard final : public KeyboardOutput
{
public:
    QString unavailableReason() const override
    {
        return QStringLiteral("The station cannot type into other programs on this system.");
    }
    WId focusedWindow() const override { return 0; }
    Result type(const KeyActions &) override { return Result::Failed; }
    QString lastError() const override { return unavailableReason(); }
};

} // namespace

std::unique_ptr<KeyboardOutput> createSystemKeyboardOutput()
{
#if defined(Q_OS_WIN)
    return std::make_unique<SendInputKeyboard>();
#elif defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return std::make_unique<XTestKeyboard>();
#else
    return std::make_unique<NoKeyboard>();
#endif
}
