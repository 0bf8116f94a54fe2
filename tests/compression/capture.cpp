#include "capture.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::mutex reports_mutex;
std::vector<Report> captured;

void Capture(CL_Handle handle, int code, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::lock_guard lock(reports_mutex);
  captured.push_back({handle, code, text});
}

}  // namespace

CapturedErrors::CapturedErrors() : previous_(clSetErrorHandler(Capture)) { clear(); }

CapturedErrors::~CapturedErrors() { clSetErrorHandler(previous_); }

const std::vector<Report>& CapturedErrors::reports() const { return captured; }

std::string CapturedErrors::only() const {
  std::lock_guard lock(reports_mutex);
  EXPECT_EQ(captured.size(), 1u);
  return captured.empty() ? std::string() : captured.back().text;
}

void CapturedErrors::clear() {
  std::lock_guard lock(reports_mutex);
  captured.clear();
}
