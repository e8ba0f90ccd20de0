// quiet_stdout.h: standard output held back while an object lives, for tools that play matches whose final tables
// nobody is to read (the viewer's first pass, benchmarks, the corpus generator). The descriptor itself goes to
// /dev/null, so the game's printf calls are silenced without touching the game.
#pragma once

class QuietStdout {
public:
    QuietStdout();
    ~QuietStdout();
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

private:
    int saved_ = -1;
};
