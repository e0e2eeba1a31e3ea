{ A Free Pascal host written as a Lazarus project writes it: its mode set in
  its own source (objfpc, long strings), the callback passed with @, the
  functions linked when the program loads and, as a host that finds the
  DLL at run time does, through the unit's procedural types. The tests
  compile it, without linking, under every -M option: the unit must set its
  own mode and keep its sizes whatever the command line says. Its callback
  takes the data value as a NativeInt, which the unit's must be exactly. }
program pascal_lazarus_host;

{$mode objfpc}{$H+}

uses
  dynlibs, Orvale8;

procedure OnDeviceEvent(Data: NativeInt; Text: PAnsiChar; Event: PAnsiChar); stdcall;
begin
  if (Data = 42) and (AnsiString(Event) = OV_EVENT_RING) then
    WriteLn('ring from ', AnsiString(Text));
end;

procedure UseLinked;
begin
  if InitCallbackEx(42, @OnDeviceEvent) <> OV_TRUE then
    Halt(1);
  if not InitDevice then
    WriteLn('InitDevice failed: ', AnsiString(OrvaleGetLastError));
  if ShowProperties(0) then
    WriteLn('OK pressed');
  if not CloseDevice then
    Halt(1);
end;

procedure UseLoaded;
var
  Lib: TLibHandle;
  LoadedInitCallbackEx: TInitCallbackEx;
  LoadedInitDevice: TInitDevice;
  LoadedCloseDevice: TCloseDevice;
  LoadedGetLastError: TOrvaleGetLastError;
  LoadedShowProperties: TShowProperties;
begin
  Lib := LoadLibrary('Orvale8.dll');
  if Lib = NilHandle then
    Halt(2);
  LoadedInitCallbackEx := TInitCallbackEx(GetProcedureAddress(Lib, 'InitCallbackEx'));
  LoadedInitDevice := TInitDevice(GetProcedureAddress(Lib, 'InitDevice'));
  LoadedCloseDevice := TCloseDevice(GetProcedureAddress(Lib, 'CloseDevice'));
  LoadedGetLastError := TOrvaleGetLastError(GetProcedureAddress(Lib, 'GetLastError'));
  LoadedShowProperties := TShowProperties(GetProcedureAddress(Lib, 'ShowProperties'));
  LoadedInitCallbackEx(42, @OnDeviceEvent);
  if not LoadedInitDevice() then
    WriteLn('InitDevice failed: ', AnsiString(LoadedGetLastError()));
  LoadedShowProperties(0);
  LoadedCloseDevice();
  UnloadLibrary(Lib);
end;

begin
  UseLinked;
  UseLoaded;
end.
