// A file server for the native tests, answering whole-file and range requests as a
// web server does (or, with its switches, as a hostile or broken one does), and
// handing the body on piece by piece through the same reading rules as the
// programs' HTTP client.
#pragma once

#include <algorithm>
#include <functional>
#include <string>

#include "net/answer_reading.h"
#include "net/file_fetch.h"

class FakeFileServer : public file_fetch::Fetcher {
 public:
    explicit FakeFileServer(std::string file) : file_(std::move(file)) {}

    file_fetch::Answer Fetch(const std::string&, const file_fetch::Request& request, const StopRequest& stop,
                             const file_fetch::AnswerBegins& begins, answer_reading::Sink& sink) override {
        using file_fetch::Answer;
        ++requests;
        const std::string& file = served.empty() ? file_ : served;
        std::string body;
        Answer kind;
        uint64_t size = file.size();
        if (request.ranged && !ignoresRanges) {
            uint64_t first = request.first + shift;
            uint64_t last = request.last == file_fetch::kUnknown ? size - 1 : request.last + shift;
            if (first > last || last >= size) return Answer::Failed;
            std::string contentRange =
                "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(size);
            if (!answer_reading::IsRangeAskedFor(contentRange, last - first + 1, request.first, request.last,
                                                 request.fileSize))
                return Answer::Failed;
            body = file.substr(first, last - first + 1);
            kind = Answer::Partial;
        } else {
            if (request.fileSize != file_fetch::kUnknown && request.fileSize != size) return Answer::Failed;
            body = file;
            kind = Answer::Whole;
        }
        uint64_t length = endless ? file_fetch::kUnknown : body.size();
        if (begins && !begins(kind, length)) return Answer::Refused;
        Pieces source(*this, body, stop);
        uint64_t largest = kind == Answer::Partial ? body.size() : request.largest;
        answer_reading::Ending ending = answer_reading::ReadBody(source, length, largest, stop, sink);
        if (afterBody) afterBody(requests, const_cast<StopRequest&>(stop));
        switch (ending) {
            case answer_reading::Ending::Complete: return kind;
            case answer_reading::Ending::TooLarge: return Answer::TooLarge;
            case answer_reading::Ending::Stopped: return Answer::Stopped;
            case answer_reading::Ending::Refused: return Answer::Refused;
            case answer_reading::Ending::Short: break;
        }
        return Answer::Failed;
    }

    // What it serves instead of the file, when set (another package, say).
    std::string served;
    // A range answer for bytes this far from those asked for.
    uint64_t shift = 0;
    bool ignoresRanges = false;
    // The body goes on for ever, with no length named: the file, again and again.
    bool endless = false;
    // The body ends after this many bytes, the connection dropped.
    uint64_t dropAfter = file_fetch::kUnknown;
    // Pieces of at most this much: a slow line hands its bytes on a few at a time.
    size_t pieceBytes = 64 * 1024;
    // Called with the request's number once its body has been handed on.
    std::function<void(int request, StopRequest& stop)> afterBody;
    // Called before each piece with the request's number.
    std::function<void(int request)> beforePiece;
    int requests = 0;

 private:
    class Pieces : public answer_reading::Source {
     public:
        Pieces(FakeFileServer& server, const std::string& body, const StopRequest&) : server_(server), body_(body) {}
        bool Next(char* buffer, size_t capacity, size_t& got) override {
            if (server_.beforePiece) server_.beforePiece(server_.requests);
            uint64_t end = server_.endless ? file_fetch::kUnknown : body_.size();
            if (server_.dropAfter != file_fetch::kUnknown && at_ >= server_.dropAfter) return false;
            if (end != file_fetch::kUnknown && at_ >= end) {
                got = 0;
                return true;
            }
            uint64_t piece = std::min<uint64_t>({capacity, server_.pieceBytes, body_.size() - at_ % body_.size()});
            if (server_.dropAfter != file_fetch::kUnknown) piece = std::min(piece, server_.dropAfter - at_);
            got = static_cast<size_t>(piece);
            std::copy_n(body_.data() + at_ % body_.size(), got, buffer);
            at_ += got;
            return true;
        }

     private:
        FakeFileServer& server_;
        const std::string& body_;
        uint64_t at_ = 0;
    };

    std::string file_;
};
