// x_server.h: a private X server (Xvfb) for the window tests, and reading back a screenshot.
//
// Needs Xvfb (Debian: xvfb); the screenshots are read as netpbm's PPM (xwd | xwdtopnm).
#pragma once

#include <signal.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace fwtest {

// A private Xvfb on a display number that the server picks itself among the free ones, so that the servers of tests
// running at the same time never contend for one. It ends with the object, or after two minutes at the latest.
class XServer {
public:
    explicit XServer(const std::string& screen = "1280x1024x24")
        : pipe_(popen(("echo $$; exec timeout 120 Xvfb -displayfd 1 -screen 0 " + screen +
                       " -nolisten tcp 2>/dev/null")
                          .c_str(),
                      "r"),
                pclose) {
        if (!pipe_ || std::fscanf(pipe_.get(), "%d %d", &pid_, &number_) != 2) number_ = -1;
    }
    ~XServer() {
        if (pid_ > 0) kill(pid_, SIGTERM);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    std::string display() const { return number_ < 0 ? "" : ":" + std::to_string(number_); }  // "" if none

private:
    // The shell's process id, which the server takes over; then the server's display number once it is ready.
    std::unique_ptr<FILE, int (*)(FILE*)> pipe_;
    int pid_ = 0, number_ = -1;
};

// A binary PPM (P6, maxval 255) as read from a file: its size and its RGB bytes, rows from the top. Empty when the
// file is not one.
struct Screenshot {
    int width = 0, height = 0;
    std::string rgb;

    static Screenshot read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        Screenshot s;
        std::string magic;
        int maxval = 0;
        if (!(in >> magic >> s.width >> s.height >> maxval) || magic != "P6" || maxval != 255) return {};
        in.get();
        s.rgb.assign(std::istreambuf_iterator<char>(in), {});
        if (s.rgb.size() != size_t(s.width) * size_t(s.height) * 3) return {};
        return s;
    }
    // The rectangle at (x, y) of w x h pixels.
    Screenshot crop(int x, int y, int w, int h) const {
        Screenshot c{w, h, {}};
        for (int row = y; row < y + h; ++row) c.rgb += rgb.substr((size_t(row) * size_t(width) + size_t(x)) * 3, size_t(w) * 3);
        return c;
    }
    bool operator==(const Screenshot&) const = default;
};

}  // namespace fwtest
