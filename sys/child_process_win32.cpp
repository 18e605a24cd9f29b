// child_process_win32.cpp - starting a child on Windows: CreateProcessA with
// PROC_THREAD_ATTRIBUTE_HANDLE_LIST, its handles inheritable only for the call.
#include "sys/child_process_win32.h"

#include <algorithm>
#include <memory>

namespace {

// "NAME=value" entries as one block, each ended by a NUL, the block by another.
std::string EnvironmentBlock(const std::vector<std::string>& environment) {
  std::string block;
  for (const std::string& entry : environment) {
    block += entry;
    block += '\0';
  }
  if (block.empty()) block += '\0';
  block += '\0';
  return block;
}

// This process's own standard input, as a child would be given it.
HANDLE OwnInput(const STARTUPINFOA& own) {
  // Without that flag the field is not a handle (it may hold a hot key).
  return (own.dwFlags & STARTF_USESTDHANDLES) != 0 ? own.hStdInput : GetStdHandle(STD_INPUT_HANDLE);
}

bool IsInheritable(HANDLE handle) {
  DWORD flags = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetHandleInformation(handle, &flags) &&
         (flags & HANDLE_FLAG_INHERIT) != 0;
}

// Makes the given handles inheritable while it lives, and puts back what they
// were; the list of the attribute names them, each once.
class TInheritedHandles {
 public:
  void Add(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    if (std::find(FHandles.begin(), FHandles.end(), handle) != FHandles.end()) return;
    DWORD flags = 0;
    if (!GetHandleInformation(handle, &flags)) return;
    if ((flags & HANDLE_FLAG_INHERIT) == 0 && !SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
      return;
    FHandles.push_back(handle);
    FWas.push_back(flags & HANDLE_FLAG_INHERIT);
  }
  ~TInheritedHandles() {
    for (std::size_t i = 0; i < FHandles.size(); ++i) SetHandleInformation(FHandles[i], HANDLE_FLAG_INHERIT, FWas[i]);
  }
  std::vector<HANDLE>& Handles() { return FHandles; }

 private:
  std::vector<HANDLE> FHandles;
  std::vector<DWORD> FWas;
};

// The attribute list that names the only handles the child may inherit.
class TAttributeList {
 public:
  explicit TAttributeList(std::vector<HANDLE>& handles) {
    if (handles.empty()) return;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    FStorage.reset(new char[size]);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FStorage.get());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    FList = list;
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                   handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
      DeleteProcThreadAttributeList(FList);
      FList = nullptr;
    }
  }
  ~TAttributeList() {
    if (FList != nullptr) DeleteProcThreadAttributeList(FList);
  }
  TAttributeList(const TAttributeList&) = delete;
  TAttributeList& operator=(const TAttributeList&) = delete;
  LPPROC_THREAD_ATTRIBUTE_LIST List() const { return FList; }

 private:
  std::unique_ptr<char[]> FStorage;
  LPPROC_THREAD_ATTRIBUTE_LIST FList = nullptr;
};

// A job that ends its processes when its last handle closes; none where the
// system refuses one.
TScopedHandle KillOnCloseJob() {
  TScopedHandle job(CreateJobObjectA(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job.Valid() && !SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
    job.Close();
  return job;
}

}  // namespace

bool StartChild(const TChildPlan& plan, TChild& child) {
  STARTUPINFOEXA extended{};
  STARTUPINFOA& startup = extended.StartupInfo;
  GetStartupInfoA(&startup);
  HANDLE input = plan.Input != nullptr ? plan.Input : OwnInput(startup);
  // This process's own input reaches the child only when it may be inherited.
  if (plan.Input == nullptr && !IsInheritable(input)) input = nullptr;
  startup.cb = sizeof startup;
  // The C runtime's table of inherited descriptors would override the handles
  // in the child: it describes this program's parent, not this child.
  startup.lpReserved2 = nullptr;
  startup.cbReserved2 = 0;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = input;
  startup.hStdOutput = plan.Output;
  startup.hStdError = plan.Error;

  TInheritedHandles inherited;
  for (HANDLE handle : {input, plan.Output, plan.Error}) inherited.Add(handle);
  TAttributeList attributes(inherited.Handles());
  DWORD flags = CREATE_NO_WINDOW;
  if (attributes.List() != nullptr) {
    startup.cb = sizeof extended;
    extended.lpAttributeList = attributes.List();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  TScopedHandle job = plan.OwnJob ? KillOnCloseJob() : TScopedHandle();
  // Started held, so that it is in its job before it can start anything.
  if (job.Valid()) flags |= CREATE_SUSPENDED;

  std::string commandLine = plan.CommandLine;
  std::string block = plan.Environment != nullptr ? EnvironmentBlock(*plan.Environment) : std::string();
  PROCESS_INFORMATION info{};
  const BOOL inherit = inherited.Handles().empty() ? FALSE : TRUE;
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, inherit, flags,
                      plan.Environment != nullptr ? block.data() : nullptr,
                      plan.Dir.empty() ? nullptr : plan.Dir.c_str(), &startup, &info))
    return false;
  TScopedHandle thread(info.hThread);
  child.Process = TScopedHandle(info.hProcess);
  if (job.Valid()) {
    if (AssignProcessToJobObject(job.Get(), info.hProcess)) child.Job = std::move(job);
    ResumeThread(info.hThread);
  }
  return true;
}
