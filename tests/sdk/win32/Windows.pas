{ What the SDK's Delphi sample takes from Delphi's Windows unit, declared as
  Delphi declares it (XE2 and later: pointer-sized message parameters), so
  that Free Pascal on a system without Windows checks the sample's calls and
  types. Never linked. }
unit Windows;

interface

type
  UINT = LongWord;
  BOOL = LongBool;
  DWORD = LongWord;
  WPARAM = NativeUInt;
  LPARAM = NativeInt;
  LRESULT = NativeInt;
  ATOM = Word;
  HWND = NativeUInt;
  HMENU = NativeUInt;
  HINST = NativeUInt;
  HMODULE = HINST;
  HICON = NativeUInt;
  HCURSOR = HICON;
  HBRUSH = NativeUInt;
  TFNWndProc = Pointer;

  TPoint = record
    X: Longint;
    Y: Longint;
  end;

  TMsg = packed record
    hwnd: HWND;
    message: UINT;
    wParam: WPARAM;
    lParam: LPARAM;
    time: DWORD;
    pt: TPoint;
  end;

  TWndClassA = packed record
    style: UINT;
    lpfnWndProc: TFNWndProc;
    cbClsExtra: Integer;
    cbWndExtra: Integer;
    hInstance: HINST;
    hIcon: HICON;
    hCursor: HCURSOR;
    hbrBackground: HBRUSH;
    lpszMenuName: PAnsiChar;
    lpszClassName: PAnsiChar;
  end;

const
  WS_OVERLAPPEDWINDOW = $CF0000;
  WS_VISIBLE = $10000000;
  WS_CHILD = $40000000;
  WS_VSCROLL = $200000;
  WS_EX_CLIENTEDGE = $200;
  BS_PUSHBUTTON = 0;
  LBS_NOINTEGRALHEIGHT = $100;
  CW_USEDEFAULT = Integer($80000000);
  COLOR_BTNFACE = 15;
  MB_OK = 0;
  MB_ICONERROR = $10;
  IDC_ARROW = PChar(32512);
  kernel32 = 'kernel32.dll';
  user32 = 'user32.dll';

function GetModuleHandleA(lpModuleName: PAnsiChar): HMODULE; stdcall; external kernel32;
function LoadCursor(hInstance: HINST; lpCursorName: PChar): HCURSOR; stdcall; external user32 name 'LoadCursorA';
function RegisterClassA(const lpWndClass: TWndClassA): ATOM; stdcall; external user32;
function CreateWindowExA(dwExStyle: DWORD; lpClassName: PAnsiChar; lpWindowName: PAnsiChar;
  dwStyle: DWORD; X, Y, nWidth, nHeight: Integer; hWndParent: HWND; hMenu: HMENU;
  hInstance: HINST; lpParam: Pointer): HWND; stdcall; external user32;
function DestroyWindow(hWnd: HWND): BOOL; stdcall; external user32;
function DefWindowProcA(hWnd: HWND; Msg: UINT; wParam: WPARAM; lParam: LPARAM): LRESULT; stdcall; external user32;
function SendMessageA(hWnd: HWND; Msg: UINT; wParam: WPARAM; lParam: LPARAM): LRESULT; stdcall; external user32;
function GetMessageA(var lpMsg: TMsg; hWnd: HWND; wMsgFilterMin, wMsgFilterMax: UINT): BOOL; stdcall; external user32;
function TranslateMessage(const lpMsg: TMsg): BOOL; stdcall; external user32;
function DispatchMessageA(const lpMsg: TMsg): Longint; stdcall; external user32;
procedure PostQuitMessage(nExitCode: Integer); stdcall; external user32;
function MessageBoxA(hWnd: HWND; lpText, lpCaption: PAnsiChar; uType: UINT): Integer; stdcall; external user32;
function LoWord(L: DWORD): Word;

implementation

function LoWord(L: DWORD): Word;
begin
  Result := Word(L);
end;

end.
