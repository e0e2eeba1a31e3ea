{
  A host in Delphi, without the VCL: a window with a list of the rings the
  voice box reported and a button for the plug-in's property dialog. The
  device is opened when the window is made and closed before it goes.
  Build: dcc32 -U<kit>\include delphi_host.dpr
     or, with a Free Pascal for i386-win32 (the kit's README.txt):
         fpc -Twin32 -Pi386 -Mdelphi -Fu<kit>/include delphi_host.dpr
  Orvale8.dll and the voice box driver TmA4Drv.dll (or the kit's simulated
  box) go beside the program.
}
program delphi_host;

uses
  Windows, Messages, Orvale8;

const
  WindowClassName = 'Orvale8DelphiHost';
  IdProperties = 1;

var
  RingList: HWND;

{ Called on this program's main thread, from its message loop. The texts are
  valid only during the call: the list box keeps its own copy. }
procedure OnDeviceEvent(Data: TOvData; Text: PAnsiChar; Event: PAnsiChar); stdcall;
var
  Line: AnsiString;
begin
  Line := AnsiString(Event) + ': ' + AnsiString(Text);
  SendMessageA(HWND(Data), LB_ADDSTRING, 0, LPARAM(PAnsiChar(Line)));
end;

procedure MakeControls(Wnd: HWND);
var
  Instance: HINST;
begin
  Instance := GetModuleHandleA(nil);
  RingList := CreateWindowExA(WS_EX_CLIENTEDGE, 'LISTBOX', nil,
    WS_CHILD or WS_VISIBLE or WS_VSCROLL or LBS_NOINTEGRALHEIGHT,
    8, 8, 400, 200, Wnd, 0, Instance, nil);
  CreateWindowExA(0, 'BUTTON', 'Properties...', WS_CHILD or WS_VISIBLE or BS_PUSHBUTTON,
    8, 216, 120, 28, Wnd, HMENU(IdProperties), Instance, nil);
end;

procedure OpenDevice(Wnd: HWND);
begin
  { The list's handle comes back as the callback's Data. }
  InitCallbackEx(TOvData(RingList), OnDeviceEvent);
  if not InitDevice then
    MessageBoxA(Wnd, OrvaleGetLastError, 'InitDevice failed', MB_OK or MB_ICONERROR);
end;

function WndProc(Wnd: HWND; Msg: UINT; WP: WPARAM; LP: LPARAM): LRESULT; stdcall;
begin
  Result := 0;
  case Msg of
    WM_CREATE:
      begin
        MakeControls(Wnd);
        OpenDevice(Wnd);
      end;
    WM_COMMAND:
      { Never from inside OnDeviceEvent: the dialog pauses the device, and
        the pause would wait for that very callback to return. }
      if LoWord(WP) = IdProperties then
        ShowProperties(Wnd);
    WM_CLOSE:
      begin
        CloseDevice;
        DestroyWindow(Wnd);
      end;
    WM_DESTROY:
      PostQuitMessage(0);
  else
    Result := DefWindowProcA(Wnd, Msg, WP, LP);
  end;
end;

var
  WindowClass: TWndClassA;
  Msg: TMsg;
begin
  FillChar(WindowClass, SizeOf(WindowClass), 0);
  WindowClass.lpfnWndProc := @WndProc;
  WindowClass.hInstance := GetModuleHandleA(nil);
  WindowClass.hCursor := LoadCursor(0, IDC_ARROW);
  WindowClass.hbrBackground := COLOR_BTNFACE + 1;
  WindowClass.lpszClassName := WindowClassName;
  if RegisterClassA(WindowClass) = 0 then
    Halt(1);
  if CreateWindowExA(0, WindowClassName, 'Orvale8 - rings', WS_OVERLAPPEDWINDOW or WS_VISIBLE,
    CW_USEDEFAULT, CW_USEDEFAULT, 432, 290, 0, 0, WindowClass.hInstance, nil) = 0 then
    Halt(1);
  { The plug-in's callbacks are delivered from this loop. }
  while GetMessageA(Msg, 0, 0, 0) do
  begin
    TranslateMessage(Msg);
    DispatchMessageA(Msg);
  end;
end.
