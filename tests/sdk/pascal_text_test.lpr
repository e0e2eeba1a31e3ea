{ The unit's advice for keeping a callback's text, string(OvText(Text)),
  run with the bytes of 未知号码 in code page 936 under the string code pages
  the hosts have: UTF-8 (a Lazarus program: LazUtils sets it), 936 (Free
  Pascal, and Delphi 2007 and earlier, on a Chinese Windows), 1252 (a host on
  another Windows), and UTF-16 (Delphi 2009 and later). On Linux cwstring
  converts, as MultiByteToWideChar does on Windows. }
program pascal_text_test;

{$mode objfpc}{$H+}

uses
  {$IFDEF UNIX} cwstring, {$ENDIF} Orvale8;

const
  Unknown936 = #$CE#$B4#$D6#$AA#$BA#$C5#$C2#$EB;
  UnknownUtf8 = #$E6#$9C#$AA#$E7#$9F#$A5#$E5#$8F#$B7#$E7#$A0#$81;
  UnknownUtf16: UnicodeString = #$672A#$77E5#$53F7#$7801;
  Cases: array[0..4] of record
    HostCodePage: TSystemCodePage;
    Text, Expected: RawByteString;
  end = (
    (HostCodePage: CP_UTF8; Text: Unknown936; Expected: UnknownUtf8),
    (HostCodePage: 936; Text: Unknown936; Expected: Unknown936),
    (HostCodePage: CP_UTF8; Text: '13800138000'; Expected: '13800138000'),
    (HostCodePage: CP_UTF8; Text: ''; Expected: ''),
    (HostCodePage: 1252; Text: '01062345678'; Expected: '01062345678'));
  HostCodePages: array[0..2] of TSystemCodePage = (CP_UTF8, 936, 1252);

var
  Failed: Boolean = False;
  I: Integer;
  Got: string;

procedure Expect(Ok: Boolean; const What: string);
begin
  if not Ok then
  begin
    WriteLn('pascal_text_test: ', What);
    Failed := True;
  end;
end;

function Hex(const S: RawByteString): string;
var
  I: Integer;
begin
  Result := '';
  for I := 1 to Length(S) do
    Result := Result + HexStr(Ord(S[I]), 2) + ' ';
end;

begin
  for I := Low(Cases) to High(Cases) do
    with Cases[I] do
    begin
      SetMultiByteConversionCodePage(HostCodePage);
      Got := string(OvText(PAnsiChar(Text)));
      Expect((Hex(Got) = Hex(Expected)) and ((Got = '') or (StringCodePage(Got) = HostCodePage)),
        'code page $' + HexStr(HostCodePage, 4) + ': ' + Hex(Got) + 'not ' + Hex(Expected));
    end;
  for I := Low(HostCodePages) to High(HostCodePages) do
  begin
    SetMultiByteConversionCodePage(HostCodePages[I]);
    Expect(UnicodeString(OvText(Unknown936)) = UnknownUtf16,
      'UnicodeString under code page $' + HexStr(HostCodePages[I], 4) + ' is not U+672A U+77E5 U+53F7 U+7801');
  end;
  Expect(OvText(nil) = '', 'nil is not an empty text');
  if Failed then
    Halt(1);
  WriteLn('pascal_text_test: ', Length(Cases) + Length(HostCodePages) + 1, ' cases passed');
end.
