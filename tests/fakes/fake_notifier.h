#pragma once

#include <string>
#include <vector>

#include "console/notifier.h"

namespace dalmora::testing {

// Records beeps and message boxes instead of sounding and showing them.
class FakeNotifier : public Notifier {
public:
    struct Message {
        std::string title;
        std::string text;
        MessageIcon icon;
    };

    void beep() override { ++beeps; }
    void showMessage(const std::string& title, const std::string& text, MessageIcon icon) override {
        messages.push_back({title, text, icon});
    }

    // The texts of all boxes shown so far, in order.
    [[nodiscard]] std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const Message& message : messages) all.push_back(message.text);
        return all;
    }

    void clear() {
        beeps = 0;
        messages.clear();
    }

    int beeps = 0;
    std::vector<Message> messages;
};

}  // namespace dalmora::testing
