// An error handler for the tests: it formats every report the library makes
// and keeps it with its code and handle, and puts the previous handler back
// when the test's scope ends.
#ifndef CINELARK_TESTS_COMPRESSION_CAPTURE_H
#define CINELARK_TESTS_COMPRESSION_CAPTURE_H

#include <cinelark/cl.h>

#include <string>
#include <vector>

struct Report {
  CL_Handle handle;
  int code;
  std::string text;
};

class CapturedErrors {
 public:
  CapturedErrors();
  ~CapturedErrors();
  CapturedErrors(const CapturedErrors&) = delete;
  CapturedErrors& operator=(const CapturedErrors&) = delete;

  const std::vector<Report>& reports() const;
  // The text of the only report; fails the test when there is not exactly one.
  std::string only() const;
  void clear();

 private:
  CL_ErrorHandler previous_;
};

#endif
