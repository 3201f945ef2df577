#pragma once

// The thread's message queue serviced without a window loop, for a component that keeps a hidden window or a
// timer for its own traffic: a window program's loop does this between actions, a console program must do
// it itself. Only posted and sent messages are serviced: input stays in the queue.
namespace z83::win {

void serviceMessages();
// Waits the given time (at most an hour), servicing those messages as they arrive.
void waitServicingMessages(double seconds);

} // namespace z83::win
