// Output files that appear whole or not at all, and the progress line.
//
// Every file the tool makes is written under a temporary name in the same
// directory as its final name and renamed there once complete, so a failure
// or a full disk never leaves a half-written movie, picture or sound file
// under the name the user asked for. An OutputSet that is destroyed without
// commit() removes its temporary files and any file it already renamed.
#ifndef MVCONVERT_OUTPUT_H
#define MVCONVERT_OUTPUT_H

#include <string>
#include <vector>

namespace mvconvert {

class OutputSet {
public:
    OutputSet() = default;
    OutputSet(const OutputSet &) = delete;
    OutputSet &operator=(const OutputSet &) = delete;
    ~OutputSet();

    // A new temporary name beside finalName; the file is not created.
    std::string begin(const std::string &finalName);
    // Renames the temporary file of the last begin() to its final name.
    bool finish(std::string *error);
    // Keeps every finished file; nothing is removed afterwards.
    void commit();

private:
    std::string pendingTemp_;
    std::string pendingFinal_;
    std::vector<std::string> finished_;
    bool committed_ = false;
};

// A progress line on standard error, "label: N of TOTAL frames", redrawn in
// place; silent when standard error is not a terminal.
class Progress {
public:
    Progress(const char *label, long total);
    ~Progress();
    void update(long done);

private:
    const char *label_;
    long total_;
    bool shown_;
    long lastShown_ = -1;
};

}  // namespace mvconvert

#endif
