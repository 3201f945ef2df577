#include "com/MessagePump.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace z83::win {

void serviceMessages() {
    MSG message;
    // PeekMessage hands sent messages to their windows itself; posted ones and timers are dispatched here.
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam)); // for whoever runs a loop after us
            return;
        }
        ::DispatchMessageW(&message);
    }
}

void waitServicingMessages(double seconds) {
    using namespace std::chrono;
    const auto until = steady_clock::now() +
                       duration_cast<steady_clock::duration>(duration<double>(std::min(seconds, 3600.0)));
    for (;;) {
        serviceMessages();
        const auto left = duration<double, std::milli>(until - steady_clock::now()).count();
        if (left <= 0)
            return;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::ceil(left)),
                                      QS_POSTMESSAGE | QS_SENDMESSAGE | QS_TIMER, 0);
    }
}

} // namespace z83::win
