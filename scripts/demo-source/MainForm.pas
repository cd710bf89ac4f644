unit MainForm;

interface

uses
  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms, Dialogs, StdCtrls;

type
  TForm1 = class(TForm)
    Button1: TButton;
    Memo1: TMemo;
    procedure Button1Click(Sender: TObject);
    procedure FormCreate(Sender: TObject);
  private
    FClicks: Integer;
    procedure Log(const Text: string); overload;
    procedure Log(const Fmt: string; const Args: array of const); overload;
  public
    property Clicks: Integer read FClicks;
  end;

var
  Form1: TForm1;

implementation

{$R *.dfm}

procedure TForm1.FormCreate(Sender: TObject);
begin
  FClicks := 0;
  Memo1.Clear;
end;

procedure TForm1.Button1Click(Sender: TObject);
begin
  Inc(FClicks);
  Log('Clicked %d times', [FClicks]);
end;

procedure TForm1.Log(const Text: string);
begin
  Memo1.Lines.Add(Text);
end;

procedure TForm1.Log(const Fmt: string; const Args: array of const);
begin
  Log(Format(Fmt, Args));
end;

end.
