// Datagrams from anyone on the network, in any order: the input is cut into a sequence of
// datagrams fed to one receive state. Whatever arrives, a file is only ever named by a user
// text of decimal digits (nothing can reach outside the templates folder), never for user
// 1 or 0, never longer than the largest template, and a template number stays within
// 1..32767.
#include "FuzzCheck.h"
#include "sync/ReceiveState.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

bool isDecimalUser(const QString &text)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return text.toULongLong() <= 4294967295ULL;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    ReceiveState state;
    while (input.remaining_bytes() > 0) {
        const std::string bytes = input.ConsumeRandomLengthString(70000);
        const QByteArray datagram(bytes.data(), qsizetype(bytes.size()));
        const Datagram::Kind kind = Datagram::classify(datagram);
        const std::optional<UserNumber> user = Datagram::user(datagram);
        FUZZ_CHECK(datagram.size() < Datagram::kFramedMinimum ? !user
                                                              : isDecimalUser(user->text()));

        const ReceiveDecision decision = receiveDatagram(state, datagram);
        FUZZ_CHECK(decision.kind == kind);
        if (decision.deleteUser) {
            FUZZ_CHECK(kind == Datagram::Kind::DeleteUser);
            FUZZ_CHECK(isDecimalUser(decision.deleteUser->text()));
            FUZZ_CHECK(decision.deleteUser->text() != QLatin1String("0"));
        }
        if (decision.write) {
            FUZZ_CHECK(kind == Datagram::Kind::DataTrailer);
            FUZZ_CHECK(isDecimalUser(decision.write->user.text()));
            FUZZ_CHECK(decision.write->user.value() != Datagram::kSecondHeaderUser);
            FUZZ_CHECK(decision.write->user.text() != QLatin1String("0"));
            FUZZ_CHECK(decision.write->bytes.size() <= kLargestTemplate);
            FUZZ_CHECK(decision.write->templateNumber >= 1);
            FUZZ_CHECK(decision.write->bytes.size() > Datagram::kLongestNonData);
        }
        FUZZ_CHECK(state.templateNumber >= 0 && state.templateNumber <= kLastTemplateNumber);
        FUZZ_CHECK(!state.user || isDecimalUser(state.user->text()));
    }
    return 0;
}
