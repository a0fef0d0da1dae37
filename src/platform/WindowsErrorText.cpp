#include "platform/WindowsErrorText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

QString windowsErrorText(unsigned long code)
{
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(code), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = n ? QString::fromWCharArray(text, int(n)).trimmed()
                        : QStringLiteral("Windows error %1").arg(code);
    if (text)
        LocalFree(text);
    return message;
}
