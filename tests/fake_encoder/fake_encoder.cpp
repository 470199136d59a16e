// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the encoder in runner and conversion tests. It runs its arguments as a list
// of actions, in order:
//   pid=FILE          write its process id to FILE
//   status=N          print N carriage-return status lines to stderr
//   status-out=N      the same on stdout
//   burst=N           write N bytes ("frame=" lines cut to fit) to stdout with one write
//   write=FILE        write a small file (its size in bytes after a colon: write=FILE:4096)
//   copy=FROM:TO      copy a file (a rewrap pass)
//   until-q=FILE      print status lines and grow FILE until "q" arrives on stdin (exit 3
//                     when stdin ends without it)
//   touch=FILE        create an empty FILE
//   note=FILE:TEXT    append TEXT and a line end to FILE (which passes ran, with what)
//   child=FILE        start a child that sleeps for ever (its id in FILE), as an encoder
//                     that starts helpers of its own
//   close-output      close stdout and stderr
//   record-stdin=FILE read stdin to its end and write what came to FILE
//   sleep=MS          sleep
//   hang              sleep for ever
//   crash             abort
//   exit=N            exit with code N
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

std::string StatusLine(int frame) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "frame=%5d fps= 25 q=2.0 size=%8dkB time=00:00:%05.2f bitrate= 128.0kbits/s "
                  "speed=1.00x\r",
                  frame, frame * 2, frame / 25.0);
    return line;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& data, bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << data;
}

// Encodes "for ever" like the real encoder: status lines and a growing output file, until the
// stop request arrives on stdin.
bool UntilQ(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int frame = 1;; ++frame) {
        WriteAll(2, StatusLine(frame));
        out << std::string(512, 'x');
        out.flush();
        pollfd in{0, POLLIN, 0};
        if (poll(&in, 1, 20) > 0) {
            char c = 0;
            const ssize_t n = read(0, &c, 1);
            if (n <= 0)
                return false;
            if (c == 'q')
                break;
        }
    }
    WriteAll(2, "\nLsize=done\n");
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    signal(SIGPIPE, SIG_IGN);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
        if (name == "pid") {
            WriteFile(value, std::to_string(getpid()));
        } else if (name == "status" || name == "status-out") {
            const int fd = name == "status" ? 2 : 1;
            for (int frame = 1; frame <= std::atoi(value.c_str()); ++frame)
                WriteAll(fd, StatusLine(frame));
        } else if (name == "burst") {
            std::string data;
            while (data.size() < std::stoul(value))
                data += StatusLine(static_cast<int>(data.size()));
            data.resize(std::stoul(value));
            WriteAll(1, data);
        } else if (name == "write") {
            const size_t colon = value.rfind(':');
            const bool sized =
                colon != std::string::npos && colon > 0 &&
                value.find_first_not_of("0123456789", colon + 1) == std::string::npos;
            const size_t bytes = sized ? std::stoul(value.substr(colon + 1)) : 1024;
            WriteFile(sized ? value.substr(0, colon) : value, std::string(bytes, 'x'));
        } else if (name == "copy") {
            const size_t colon = value.find(":/");
            WriteFile(value.substr(colon + 1), ReadFile(value.substr(0, colon)));
        } else if (name == "until-q") {
            if (!UntilQ(value))
                return 3;
        } else if (name == "touch") {
            WriteFile(value, std::string());
        } else if (name == "note") {
            const size_t colon = value.find(':');
            WriteFile(value.substr(0, colon), value.substr(colon + 1) + "\n", true);
        } else if (name == "child") {
            const pid_t child = fork();
            if (child == 0) {
                for (;;)
                    pause();
            }
            WriteFile(value, std::to_string(child));
        } else if (name == "close-output") {
            close(1);
            close(2);
        } else if (name == "record-stdin") {
            std::string received;
            char buffer[64];
            ssize_t n = 0;
            while ((n = read(0, buffer, sizeof buffer)) > 0)
                received.append(buffer, static_cast<size_t>(n));
            WriteFile(value, received);
        } else if (name == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(value.c_str())));
        } else if (name == "hang") {
            for (;;)
                pause();
        } else if (name == "crash") {
            std::abort();
        } else if (name == "exit") {
            return std::atoi(value.c_str());
        } else {
            std::fprintf(stderr, "fake_encoder: unknown action %s\n", arg.c_str());
            return 64;
        }
    }
    return 0;
}
