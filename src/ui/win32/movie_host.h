// The frame's movie control: an OLE container of our own, just what one in-place control
// needs (client site, in-place site and frame, a dispatch sink for its FSCommand event), and
// the control's automation members by dispatch id.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <functional>
#include <initializer_list>
#include <string>

namespace zov::win32 {

class MovieSite;

class MovieHost {
  public:
    using CommandHandler = std::function<void(const std::string& command, const std::string& arguments)>;
    // Dispatch ids of the members the frame uses.
    enum Member : DISPID {
        Movie = 0x66,
        Loop = 0x6A,
        FrameNum = 0x6B,
        Play = 0x70,
        Stop = 0x71,
        AlignMode = 0x79,
        TotalFrames = 0x7C,
        StopPlay = 0x7E,
        GotoFrame = 0x7F,
        CurrentFrame = 0x80,
        IsPlaying = 0x81,
        FlashVersion = 0x84,
        Menu = 0x87,
        BGColor = 0x8C,
        TGotoLabel = 0x90,
        FSCommand = 0x96,
        SetVariable = 0x97,
    };

    MovieHost() = default;
    MovieHost(const MovieHost&) = delete;
    MovieHost& operator=(const MovieHost&) = delete;
    ~MovieHost() { destroy(); }

    // Makes the control of `classId` ("{...}") in place in `parent`, at `place`; false when
    // the class cannot be made or will not be sited. Enters OLE on first use.
    bool create(HWND parent, const std::string& classId, const RECT& place, CommandHandler onCommand);
    void destroy();
    HWND window() const;
    void place(const RECT& r);

    // The members: a property put, a method call, a read.
    void put(Member m, const VARIANT& value);
    void call(Member m, std::initializer_list<VARIANT> args = {});
    long readLong(Member m, std::initializer_list<VARIANT> args = {});
    std::string readText(Member m);

    static VARIANT text(const std::string& value); // the caller's: the helpers clear it
    static VARIANT number(long value);
    static VARIANT boolean(bool value);

  private:
    HRESULT invoke(Member m, WORD flags, std::initializer_list<VARIANT> args, VARIANT* result);

    MovieSite* site_ = nullptr;
    IOleObject* object_ = nullptr;
    IDispatch* dispatch_ = nullptr;
    IConnectionPoint* events_ = nullptr;
    DWORD cookie_ = 0;
};

} // namespace zov::win32
