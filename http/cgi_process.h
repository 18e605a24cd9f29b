// cgi_process.h - one run of the PHP interpreter: started with an environment
// block of its own in the page's directory, its standard input and output on
// pipes (standard error joined to output), with non-blocking reads and writes
// and the handles a wait for the relay watches. One connection thread owns and uses it; the
// destructor ends the interpreter and releases every pipe end and handle.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "http/cgi_relay.h"

// Long enough for an interpreter whose input closed mid-body to clean up and
// end (a few milliseconds), short enough that a page whose client left is gone
// within a second.
inline constexpr int kCgiEndGraceMs = 500;

class TCgiProcess : public TCgiChild {
 public:
  TCgiProcess();
  ~TCgiProcess() override;
  TCgiProcess(const TCgiProcess&) = delete;
  TCgiProcess& operator=(const TCgiProcess&) = delete;

  // Makes the pipes and starts program (the whole command line, no arguments)
  // with exactly the given "NAME=value" entries in dir. Only the child's pipe
  // ends reach the child, and the server keeps no copy of them, so an ended or
  // input-closing interpreter shows as the end of its output or a broken input.
  // Callers serialize Start (the gateway lock). False when anything fails.
  bool Start(const std::string& program, const std::vector<std::string>& environment, const std::string& dir);

  int ReadOutput(char* buffer, int n) override;
  int WriteInput(const char* block, int n) override;
  bool Ended() override;
  bool Failed() override;
  void PrepareWait(TIdWaitList& waits, bool wantInput, int& timeoutMs) override;
  void Waited(bool quiet) override;

  // Ends an interpreter that has not ended: its input is closed and its output
  // read and dropped for up to kCgiEndGraceMs, so that a page cut off while it
  // reads its body can end by itself and remove its temporary files; then it
  // is ended hard (exit code 0). Reaps it and closes the pipes. Also done by
  // the destructor.
  void Finish();

 private:
  bool EndsWithinGrace();  // true when the interpreter ended by itself

  struct TImpl;
  std::unique_ptr<TImpl> F;
};

// The block the interpreter gets: the request's variables in their order, then
// what the platform's interpreter needs besides. phpDir is the interpreter's
// directory, which holds its configuration file.
std::vector<std::string> InterpreterEnvironment(std::vector<std::string> variables,
                                                const std::string& phpDir);
