{
  Orvale8.pas - the host's interface to Orvale8.dll, the voice box plug-in,
  for Delphi and other Pascal hosts on 32-bit Windows. Add this unit to the
  uses clause; the functions are imported from Orvale8.dll by name when the
  program loads.

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
     return, and never come back. (Callbacks delivered while CloseDevice itself
     waits are the exception: CloseDevice there is harmless.)

  Texts are NUL-terminated 8-bit strings (PAnsiChar) in the system's ANSI
  code page, for which the box is made: code page 936 (GB2312). The DLL never
  converts them.

  Free Pascal: the unit sets its own mode, so it compiles in a Lazarus
  project (mode objfpc) and under any -M option; sizes are fixed
  (LongInt, LongBool), whatever Integer means in the host's mode.
}
unit Orvale8;

{$IFDEF FPC}
  {$MODE DELPHI}
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
    so copy them (string(Text)) before keeping them. A fault or exception
    raised in it is discarded and the device goes on; the floating-point
    settings the host had before the call are put back, nothing pending.
  }
  TDeviceCallback = procedure(Data: LongInt; Text: PAnsiChar; Event: PAnsiChar); stdcall;

{
  Registers the callback and its data value, replacing any earlier pair;
  nil turns notifications off (events are then dropped, not kept).
  May be called before or after InitDevice, and from a callback. OV_TRUE.
}
function InitCallbackEx(Data: LongInt; Callback: TDeviceCallback): TOvBool32; stdcall;

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
  is still delivered, from inside this call.
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
  TInitCallbackEx = function(Data: LongInt; Callback: TDeviceCallback): TOvBool32; stdcall;
  TInitDevice = function: TOvBool32; stdcall;
  TCloseDevice = function: TOvBool32; stdcall;
  TOrvaleGetLastError = function: PAnsiChar; stdcall;
  TShowProperties = function(ParentWindow: HWND): TOvBool32; stdcall;

implementation

const
  OrvaleDll = 'Orvale8.dll';

function InitCallbackEx; external OrvaleDll name 'InitCallbackEx';
function InitDevice; external OrvaleDll name 'InitDevice';
function CloseDevice; external OrvaleDll name 'CloseDevice';
function OrvaleGetLastError; external OrvaleDll name 'GetLastError';
function ShowProperties; external OrvaleDll name 'ShowProperties';

end.
