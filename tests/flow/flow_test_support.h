// Helpers for the workflow tests, which run the flow's modal windows on the
// test's own thread: notices answered as they appear, the windows of a class
// that the thread holds right now, and network-order values.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/win/test_support.h"

namespace cstest {

struct NoticeSeen {
    int code;
    std::string title, text;
    HWND owner;
};

// While it exists, every notice that this thread opens is recorded and
// answered the moment it has initialised: the answer is posted, so the
// notice's own modal loop handles it before anything queued later. One at a
// time per process.
class NoticeAnswerer {
public:
    // 1 (Yes) or 2 (No).
    explicit NoticeAnswerer(int answer);
    ~NoticeAnswerer();
    NoticeAnswerer(const NoticeAnswerer&) = delete;
    NoticeAnswerer& operator=(const NoticeAnswerer&) = delete;

    bool installed() const { return hook_ != nullptr; }
    void AnswerWith(int answer) { answer_ = answer; }

    std::vector<NoticeSeen> seen;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);

    int answer_;
    HHOOK hook_ = nullptr;
};

// A port number as the socket port records it (network order).
std::uint16_t NetworkPort(std::uint16_t port);

}  // namespace cstest
