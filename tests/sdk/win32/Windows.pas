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

function GetModuleHandleA(lpModuleName: PAnsiChar): HMODULE; stdcall;
function LoadCursor(hInstance: HINST; lpCursorName: PChar): HCURSOR; stdcall;
function RegisterClassA(const lpWndClass: TWndClassA): ATOM; stdcall;
function CreateWindowExA(dwExStyle: DWORD; lpClassName: PAnsiChar; lpWindowName: PAnsiChar;
  dwStyle: DWORD; X, Y, nWidth, nHeight: Integer; hWndParent: HWND; hMenu: HMENU;
  hInstance: HINST; lpParam: Pointer): HWND; stdcall;
function DestroyWindow(hWnd: HWND): BOOL; stdcall;
function DefWindowProcA(hWnd: HWND; Msg: UINT; wParam: WPARAM; lParam: LPARAM): LRESULT; stdcall;
function SendMessageA(hWnd: HWND; Msg: UINT; wParam: WPARAM; lParam: LPARAM): LRESULT; stdcall;
function GetMessageA(var lpMsg: TMsg; hWnd: HWND; wMsgFilterMin, wMsgFilterMax: UINT): BOOL; stdcall;
function TranslateMessage(const lpMsg: TMsg): BOOL; stdcall;
function DispatchMessageA(const lpMsg: TMsg): Longint; stdcall;
procedure PostQuitMessage(nExitCode: Integer); stdcall;
function MessageBoxA(hWnd: HWND; lpText, lpCaption: PAnsiChar; uType: UINT): Integer; stdcall;
function LoWord(L: DWORD): Word;

implementation

function GetModuleHandleA; external 'kernel32.dll' name 'GetModuleHandleA';
function LoadCursor; external 'user32.dll' name 'LoadCursorA';
function RegisterClassA; external 'user32.dll' name 'RegisterClassA';
function CreateWindowExA; external 'user32.dll' name 'CreateWindowExA';
function DestroyWindow; external 'user32.dll' name 'DestroyWindow';
function DefWindowProcA; external 'user32.dll' name 'DefWindowProcA';
function SendMessageA; external 'user32.dll' name 'SendMessageA';
function GetMessageA; external 'user32.dll' name 'GetMessageA';
function TranslateMessage; external 'user32.dll' name 'TranslateMessage';
function DispatchMessageA; external 'user32.dll' name 'DispatchMessageA';
procedure PostQuitMessage; external 'user32.dll' name 'PostQuitMessage';
function MessageBoxA; external 'user32.dll' name 'MessageBoxA';

function LoWord(L: DWORD): Word;
begin
  Result := Word(L);
end;

end.
