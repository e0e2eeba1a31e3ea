{ What the SDK's Delphi sample takes from Delphi's Messages unit (see
  Windows.pas beside it). }
unit Messages;

interface

const
  WM_CREATE = $0001;
  WM_DESTROY = $0002;
  WM_CLOSE = $0010;
  WM_COMMAND = $0111;
  LB_ADDSTRING = $0180;

implementation

end.
