{ A Delphi host's use of the Orvale8 unit, as the host guide shows it. The
  tests compile it without linking, for the 64-bit compiler they have: the
  unit must take a stdcall procedure as its callback, carry a pointer in its
  data value and give results a host can test as booleans. }
program pascal_host;

uses
  Orvale8;

{$IF SizeOf(TOvData) <> SizeOf(Pointer)}
  {$ERROR TOvData cannot carry a pointer}
{$IFEND}

procedure OnDeviceEvent(Data: TOvData; Text: PAnsiChar; Event: PAnsiChar); stdcall;
begin
  if string(Event) = OV_EVENT_RING then
    WriteLn('ring from ', string(Text))
  else if string(Event) = OV_EVENT_ERROR then
    WriteLn('driver error: ', string(Text));
end;

begin
  InitCallbackEx(TOvData(@OnDeviceEvent), OnDeviceEvent);
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
