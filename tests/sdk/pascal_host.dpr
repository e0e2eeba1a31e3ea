{ A Delphi host's use of the Orvale8 unit, as the host guide shows it. The
  tests compile it without linking: the unit must take a stdcall procedure as
  its callback and give results a host can test as booleans. }
program pascal_host;

uses
  Orvale8;

procedure OnDeviceEvent(Data: Integer; Text: PAnsiChar; Event: PAnsiChar); stdcall;
begin
  if string(Event) = OV_EVENT_RING then
    WriteLn('ring from ', string(Text))
  else if string(Event) = OV_EVENT_ERROR then
    WriteLn('driver error: ', string(Text));
end;

begin
  InitCallbackEx(42, OnDeviceEvent);
  if not InitDevice then
  begin
    WriteLn('InitDevice failed: ', string(OrvaleGetLastError));
    Halt(1);
  end;
  if ShowProperties(0) = OV_TRUE then
    WriteLn('OK pressed');
  if CloseDevice <> OV_TRUE then
    Halt(1);
end.
