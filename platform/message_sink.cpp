#include "platform/message_sink.h"

#include <functional>
#include <mutex>
#include <utility>

#include "platform/window.h"

namespace platform::window {
namespace {

struct MessageSink {
    std::mutex mutex;
    std::function<void(std::string_view)> sink;
};

MessageSink& TheMessageSink() {
    static MessageSink sink;
    return sink;
}

}  // namespace

void RedirectMessageBoxes(std::function<void(std::string_view)> sink) {
    MessageSink& s = TheMessageSink();
    const std::lock_guard lock(s.mutex);
    s.sink = std::move(sink);
}

bool detail::SendToMessageSink(std::string_view text) {
    MessageSink& s = TheMessageSink();
    const std::lock_guard lock(s.mutex);
    if (!s.sink) {
        return false;
    }
    s.sink(text);
    return true;
}

}  // namespace platform::window
