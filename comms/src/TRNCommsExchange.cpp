// The two waits every command exchange rests on, and the common frame of a command operation.
#include "Clock.h"
#include "MainPicCommands.h"
#include "TRNCommsUnit.h"

namespace {
constexpr uint8_t AckByte = MainPicAckByte;
constexpr const char* CommsProblemMessage =
    "Veltra communication problem detected. Pellar must now close. Unplug and re-plug the Veltra and then restart "
    "Pellar software.";

bool TimedOut(uint64_t StartMs, int TimeoutSecs) { return Clock().NowMs() - StartMs > uint64_t(TimeoutSecs) * 1000; }
}  // namespace

bool tTRNComms::WaitForAckByte(const std::string& CommandName, bool RaiseOnFail, int TimeoutSecs) {
    const uint64_t start = Clock().NowMs();
    bool ok = true;
    for (;;) {
        if (TimedOut(start, TimeoutSecs)) {
            ok = false;
            FIsVelCommsOK = false;
            DebugOutput("ACKBYTE_USB TimeOut Error! Command = " + CommandName + ", Num of expected bytes = 1" +
                            ", Timeout given = " + std::to_string(TimeoutSecs) + "sec",
                        true);
            break;
        }
        Clock().SleepMs(1);
        if (BytesAvailable(1)) break;
    }
    if (ok) {
        const uint8_t b = ReadByte();
        if (b != AckByte) {
            FIsVelCommsOK = false;
            DebugOutput("Error in reading AckByte! Command = " + CommandName + ", Byte = " + std::to_string(b), true);
            if (RaiseOnFail) {
                DebugOutput("Pellar shut down due to error in reading ackbyte.", true);
                throw EUSBCommsTimeoutException(CommsProblemMessage);
            }
            return false;
        }
        return true;
    }
    if (RaiseOnFail) {
        DebugOutput("Pellar shut down due to timeout when reading ackbyte.", true);
        throw EUSBCommsTimeoutException(CommsStoppedMessage);
    }
    return false;
}

bool tTRNComms::WaitForBytes(DWORD Count, int TimeoutSecs, const std::string& CommandName, bool RaiseOnFail) {
    const uint64_t start = Clock().NowMs();
    for (;;) {
        if (TimedOut(start, TimeoutSecs)) {
            FIsVelCommsOK = false;
            DebugOutput("USB TimeOut Error! Command = " + CommandName + ", Num of expected bytes = " +
                            std::to_string(Count) + ", Timeout given = " + std::to_string(TimeoutSecs) + "sec",
                        true);
            if (RaiseOnFail) {
                DebugOutput("Pellar shut down due to timeout.", true);
                throw EUSBCommsTimeoutException(CommsStoppedMessage);
            }
            return false;
        }
        Clock().SleepMs(1);
        if (BytesAvailable(Count)) return true;
    }
}

bool tTRNComms::PollForBytes(DWORD Count, int TimeoutSecs) {
    const uint64_t start = Clock().NowMs();
    for (;;) {
        if (TimedOut(start, TimeoutSecs)) return false;
        Clock().SleepMs(1);
        if (BytesAvailable(Count)) return true;
    }
}

bool tTRNComms::BeginCommand() {
    if (!GetIsVelCommsOK()) return false;
    WasPortBOpen = PortBIsOpen;
    if (!PortBIsOpen) (void)OpenUSBDataPort();
    return PortBIsOpen;
}

void tTRNComms::EndCommand() {
    if (!WasPortBOpen) CloseUSBPort();
}
