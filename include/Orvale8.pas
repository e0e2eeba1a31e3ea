{
  Orvale8.pas - the host's interface to Orvale8.dll, the voice box plug-in,
  for Delphi and other Pascal hosts on 32-bit and on 64-bit (x64) Windows.
  Add this unit to the uses clause; the functions are imported from
  Orvale8.dll by name when the program loads.

  Only the 64-bit (x64) plug-in: the callback's data value, TOvData, is a
  NativeInt there (64 bits, pointer-sized), a LongInt in a 32-bit host
  (declare the callback's Data as TOvData and one source builds for both);
  and it runs the 32-bit driver in its companion program, Orvale8Drv32.exe,
  which must lie beside it: InitDevice fails, naming it, when it cannot
  start, and a driver crash closes the device instead of ending the host
  (docs/host-guide.md, "64-bit hosts"). Everything else is the same in both.

  The host's obligations:
   - Call every function on the thread that loaded the DLL (the host thread,
     normally the main VCL thread).
   - Keep that thread's window messages flowing: callbacks are delivered from
     its message loop (Application.Run, a modal form's loop included). While it
     does not pump, the box is not polled.
   - Call CloseDevice before unloading the DLL, or before the program ends.
   - From inside a callback, call only InitCallbackEx, InitDevice and
     OrvaleGetLastError. CloseDevice, and ShowProperties while the device is
     open, would wait for the reader that is waiting for the callback to
     return: they return OV_FALSE at once, with a last-error text quoting
     this rule. (Callbacks delivered while CloseDevice itself waits are the
     exception: every function works there.)

  Texts are NUL-terminated 8-bit strings (PAnsiChar) in the system's ANSI
  code page, for which the box is made: code page 936 (GB2312). The DLL never
  converts them. To keep one, make it the host's own string with
  string(OvText(Text)) (below): right in Delphi, ANSI and Unicode, and in a
  Lazarus program, whose strings are UTF-8. A plain string(Text) takes the
  bytes to be in the host's default code page (DefaultSystemCodePage), which
  in Lazarus is UTF-8: the Chinese texts come out as garbage there.

  Free Pascal: the unit sets its own mode, so it compiles in a Lazarus
  project (mode objfpc) and under any -M option; sizes are fixed
  (LongInt, LongBool, NativeInt), whatever Integer means in the host's mode.
}
unit Orvale8;

{$IFDEF FPC}
  {$MODE DELPHI}
  {$DEFINE OV_CODE_PAGE_STRINGS} { Free Pascal 3.0 and later }
{$ELSE}
  {$IFDEF UNICODE} { Delphi 2009 and later }
    {$DEFINE OV_CODE_PAGE_STRINGS}
  {$ENDIF}
{$ENDIF}
{ A 64-bit target: Free Pascal's symbol, and Delphi's (XE2 and later). }
{$IFDEF CPU64}
  {$DEFINE OV_CPU64}
{$ENDIF}
{$IFDEF CPUX64}
  {$DEFINE OV_CPU64}
{$ENDIF}

interface

{$IFDEF MSWINDOWS}
uses
  Windows;
{$ELSE}
type
  HWND = LongWord; { lets the unit be syntax-checked on other systems }
{$ENDIF}

type
  { A 32-bit boolean result: all bits set for true, 0 for false. }
  TOvBool32 = LongBool;

  { The callback's data value, handed back unchanged: pointer-sized in a
    64-bit host, so it can carry a pointer or a handle there too. }
{$IFDEF OV_CPU64}
  TOvData = NativeInt;
{$ELSE}
  TOvData = LongInt;
{$ENDIF}

const
  OV_TRUE = TOvBool32(-1);
  OV_FALSE = TOvBool32(0);

  { The event names a callback receives. }
  OV_EVENT_RING = 'ue_ring';   { Text: the caller text the box delivered }
  OV_EVENT_ERROR = 'ue_error'; { Text: the driver's error text }

  { How long CloseDevice waits at most for a poll of the driver to return, in
    milliseconds, counted again after each callback delivered meanwhile. }
  OV_CLOSE_WAIT_MS = 2000;

type
  {
    The host's callback, always called on the host thread. Data is the value
    given to InitCallbackEx; Text and Event are valid only during the call,
    so copy them (string(OvText(Text))) before keeping them. A fault or
    exception raised in it is discarded and the device goes on; the
    floating-point settings the host had before the call are put back,
    nothing pending, whether it faulted or returned.
  }
  TDeviceCallback = procedure(Data: TOvData; Text: PAnsiChar; Event: PAnsiChar); stdcall;

{
  Registers the callback and its data value, replacing any earlier pair;
  nil turns notifications off (events are then dropped, not kept).
  May be called before or after InitDevice, and from a callback. OV_TRUE.
  Also works on another thread: the pair takes effect whole from the next
  callback, which always gets the data value registered with it.
}
function InitCallbackEx(Data: TOvData; Callback: TDeviceCallback): TOvBool32; stdcall;

{
  Opens the voice box and starts polling it every 200 ms. Calling it again
  opens the driver again but never starts a second reader.
  OV_FALSE on failure, with the reason behind OrvaleGetLastError.
  A poll in which the driver writes past the room given for its event record
  (a page) closes the device: an OV_EVENT_ERROR callback, and a last-error
  text, say 'TmA4Drv.dll faulted in TV_GetEvent'.
}
function InitDevice: TOvBool32; stdcall;

{
  Disables the box and stops the reader, waiting for it to end (up to one
  poll interval plus one poll and one callback). A ring read by the last poll
  is still delivered, from inside this call. It may be called from a DLL's
  finalization (DllMain, DLL_PROCESS_DETACH): when the DLL is unloaded it
  returns once the reader has stopped, within OV_CLOSE_WAIT_MS, and the
  reader's thread ends after DllMain has returned; at process exit it waits
  for nothing, since the system has already ended the reader.
}
function CloseDevice: TOvBool32; stdcall;

{
  The last error text, at a fixed address; empty unless InitDevice or
  CloseDevice failed, or a driver fault in a poll closed the device. The DLL exports it as "GetLastError"; it is declared
  here under another name so as not to hide Windows.GetLastError.
}
function OrvaleGetLastError: PAnsiChar; stdcall;

{
  Shows the modal property dialog centred over ParentWindow (any value; an
  invalid handle centres it on the desktop), kept within a monitor's work
  area (a minimised parent, or one off every screen). An open device is closed while
  the dialog is shown and opened again before the call returns.
  OV_TRUE when the dialog ended with OK.
}
function ShowProperties(ParentWindow: HWND): TOvBool32; stdcall;

type
  {
    The same functions as procedural types, for a host that loads the DLL
    at run time (LoadLibrary, then GetProcAddress by the export's name:
    'InitCallbackEx', 'InitDevice', 'CloseDevice', 'GetLastError',
    'ShowProperties') instead of linking it when the program loads.
  }
  TInitCallbackEx = function(Data: TOvData; Callback: TDeviceCallback): TOvBool32; stdcall;
  TInitDevice = function: TOvBool32; stdcall;
  TCloseDevice = function: TOvBool32; stdcall;
  TOrvaleGetLastError = function: PAnsiChar; stdcall;
  TShowProperties = function(ParentWindow: HWND): TOvBool32; stdcall;

{
  A callback's text as a string that knows its code page, 936: assigned or
  cast to the host's string (string(OvText(Text))) it is converted to what
  that string holds: UTF-16 in Delphi 2009 and later, UTF-8 in a Lazarus
  program, the ANSI code page in other Free Pascal programs. In Delphi 2007
  and earlier strings carry no code page; there TOvText is the bytes as they
  are, right on a system whose ANSI code page is 936.
}
type
{$IFDEF OV_CODE_PAGE_STRINGS}
  TOvText = type AnsiString(936);
{$ELSE}
  TOvText = AnsiString;
{$ENDIF}

{ A copy of Text (a callback's Text or Event, or OrvaleGetLastError's
  result) as a TOvText; nil gives an empty one. }
function OvText(Text: PAnsiChar): TOvText;

implementation

const
  OrvaleDll = 'Orvale8.dll';

function InitCallbackEx; external OrvaleDll name 'InitCallbackEx';
function InitDevice; external OrvaleDll name 'InitDevice';
function CloseDevice; external OrvaleDll name 'CloseDevice';
function OrvaleGetLastError; external OrvaleDll name 'GetLastError';
function ShowProperties; external OrvaleDll name 'ShowProperties';

function OvText(Text: PAnsiChar): TOvText;
var
  Count: Integer;
{$IFDEF OV_CODE_PAGE_STRINGS}
  Bytes: RawByteString;
{$ENDIF}
begin
  Count := 0;
  if Text <> nil then
    while Text[Count] <> #0 do
      Inc(Count);
{$IFDEF OV_CODE_PAGE_STRINGS}
  { The bytes labelled, not converted: a PAnsiChar assigned to a string is
    taken to be in the host's code page, which is the very mistake. }
  SetLength(Bytes, Count);
  if Count > 0 then
    Move(Text^, Pointer(Bytes)^, Count);
  SetCodePage(Bytes, 936, False);
  Result := Bytes;
{$ELSE}
  SetString(Result, Text, Count);
{$ENDIF}
end;

end.
