{ Reads Pascal units with Free Pascal's fcl-passrc parser, as a peer to compare with.

  passrc_peer --list FILE      for every file named in FILE (one a line): "FILE <name>",
                               the classes, methods, fields and properties declared in it
                               ("class|method|field|property <line> <name>"), then "OK", or
                               "FAIL <message>" when the parser gave up.
  passrc_peer --time FILE      parses every listed file and prints "files N bytes N seconds S"
                               (the parser reads the files itself, so reading is timed).

  Sources are read in Delphi mode (-Sd) for x86_64 Linux. }
program passrc_peer;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, PasTree, PParser, PScanner;

type
  TPeerEngine = class(TPasTreeContainer)
  public
    Lines: TStringList;
    MainFile: String;
    constructor Create;
    destructor Destroy; override;
    function CreateElement(AClass: TPTreeElement; const AName: String;
      AParent: TPasElement; AVisibility: TPasMemberVisibility;
      const ASourceFilename: String; ASourceLinenumber: Integer): TPasElement; override;
    function FindElement(const AName: String): TPasElement; override;
  end;

constructor TPeerEngine.Create;
begin
  inherited Create;
  Lines := TStringList.Create;
end;

destructor TPeerEngine.Destroy;
begin
  Lines.Free;
  inherited Destroy;
end;

function IsClassLike(El: TPasElement): Boolean;
begin
  Result := (El is TPasClassType) or ((El is TPasRecordType) and (El.Name <> ''));
end;

{ Types local to a routine are not reported: they belong to its body. }
function InRoutine(El: TPasElement): Boolean;
begin
  Result := False;
  while El <> nil do
  begin
    if (El is TPasProcedure) or (El is TProcedureBody) then
      Exit(True);
    El := El.Parent;
  end;
end;

function TPeerEngine.CreateElement(AClass: TPTreeElement; const AName: String;
  AParent: TPasElement; AVisibility: TPasMemberVisibility;
  const ASourceFilename: String; ASourceLinenumber: Integer): TPasElement;
var
  Kind: String;
begin
  Result := AClass.Create(AName, AParent);
  Result.Visibility := AVisibility;
  Result.SourceFilename := ASourceFilename;
  Result.SourceLinenumber := ASourceLinenumber;
  if (AName = '') or (ExpandFileName(ASourceFilename) <> MainFile) or InRoutine(AParent) then
    Exit;
  Kind := '';
  if AClass.InheritsFrom(TPasClassType) or AClass.InheritsFrom(TPasRecordType) then
    Kind := 'class'
  else if (AParent <> nil) and IsClassLike(AParent) then
  begin
    if AClass.InheritsFrom(TPasProcedure) then
      Kind := 'method'
    else if AClass.InheritsFrom(TPasProperty) then
      Kind := 'property'
    else if AClass.InheritsFrom(TPasVariable) then
      Kind := 'field';
  end;
  if Kind <> '' then
    Lines.Add(Format('%s %d %s', [Kind, ASourceLinenumber, AName]));
end;

function TPeerEngine.FindElement(const AName: String): TPasElement;
begin
  Result := nil;
end;

function ParseOne(const FileName: String; Engine: TPeerEngine; out Msg: String): Boolean;
var
  M: TPasModule;
begin
  Msg := '';
  Engine.Lines.Clear;
  Engine.MainFile := ExpandFileName(FileName);
  try
    M := ParseSource(Engine, ['-Sd', FileName], 'linux', 'x86_64', []);
    M.Free;
    Result := True;
  except
    on E: Exception do
    begin
      Msg := StringReplace(E.Message, LineEnding, ' ', [rfReplaceAll]);
      Result := False;
    end;
  end;
end;

procedure ListMode(const ListFile: String);
var
  Files: TStringList;
  Engine: TPeerEngine;
  I: Integer;
  Msg: String;
begin
  Files := TStringList.Create;
  Engine := TPeerEngine.Create;
  try
    Files.LoadFromFile(ListFile);
    for I := 0 to Files.Count - 1 do
    begin
      if Files[I] = '' then
        Continue;
      WriteLn('FILE ', Files[I]);
      if ParseOne(Files[I], Engine, Msg) then
      begin
        Write(Engine.Lines.Text);
        WriteLn('OK');
      end
      else
        WriteLn('FAIL ', Msg);
    end;
  finally
    Engine.Free;
    Files.Free;
  end;
end;

procedure TimeMode(const ListFile: String);
var
  Files: TStringList;
  Engine: TPeerEngine;
  I: Integer;
  Bytes: Int64;
  Start: QWord;
  Msg: String;
  F: File of Byte;
begin
  Files := TStringList.Create;
  Engine := TPeerEngine.Create;
  try
    Files.LoadFromFile(ListFile);
    Bytes := 0;
    for I := 0 to Files.Count - 1 do
    begin
      AssignFile(F, Files[I]);
      Reset(F);
      Inc(Bytes, FileSize(F));
      CloseFile(F);
    end;
    Start := GetTickCount64;
    for I := 0 to Files.Count - 1 do
      ParseOne(Files[I], Engine, Msg);
    WriteLn(Format('files %d bytes %d seconds %.3f',
      [Files.Count, Bytes, (GetTickCount64 - Start) / 1000.0]));
  finally
    Engine.Free;
    Files.Free;
  end;
end;

begin
  if (ParamCount = 2) and (ParamStr(1) = '--list') then
    ListMode(ParamStr(2))
  else if (ParamCount = 2) and (ParamStr(1) = '--time') then
    TimeMode(ParamStr(2))
  else
  begin
    WriteLn(StdErr, 'usage: passrc_peer --list FILE | --time FILE');
    Halt(2);
  end;
end.
