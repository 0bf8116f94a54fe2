// An error handler that keeps every report while it is in scope.
#ifndef CINELARK_TESTS_COMPRESSION_CAPTURE_H
#define CINELARK_TESTS_COMPRESSION_CAPTURE_H

#include <cinelark/cl.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

struct Report {
  CL_Handle handle;
  int code;
  std::string text;
};

class CapturedErrors {
 public:
  CapturedErrors() : previous_(clSetErrorHandler(Capture)) { clear(); }
  ~CapturedErrors() { clSetErrorHandler(previous_); }
  CapturedErrors(const CapturedErrors&) = delete;
  CapturedErrors& operator=(const CapturedErrors&) = delete;

  const std::vector<Report>& reports() const { return captured_; }
  std::vector<std::string> texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> t;
    for (const Report& r : captured_) t.push_back(r.text);
    return t;
  }
  // The text of the last report, empty when there is none; the reports
  // read are forgotten.
  std::string last() { return Take(false); }
  // The same for the only report; fails the test when there is not exactly one.
  std::string only() { return Take(true); }
  void clear() {
    std::lock_guard lock(mutex_);
    captured_.clear();
  }

 private:
  std::string Take(bool only) {
    std::lock_guard lock(mutex_);
    if (only) {
      EXPECT_EQ(captured_.size(), 1u);
    }
    const std::string text = captured_.empty() ? std::string() : captured_.back().text;
    captured_.clear();
    return text;
  }
  static void Capture(CL_Handle handle, int code, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard lock(mutex_);
    captured_.push_back({handle, code, text});
  }
  static inline std::mutex mutex_;
  static inline std::vector<Report> captured_;
  CL_ErrorHandler previous_;
};

#endif
