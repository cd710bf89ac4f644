unit Seed;

interface

uses SysUtils, Classes in 'classes.pas';

type
  // A class with everything
  TFoo<T: class> = class(TBase, IFoo)
  strict private
    FA, FB: Integer;
    FOn: TNotifyEvent;
  const
    K = 5;
  class var
    S: string;
  public
    constructor Create(AOwner: TComponent); override;
    class function Make: TFoo<T>; static;
    procedure Msg(var M: TMessage); message WM_USER;
    property Items[I: Integer]: T read GetItem; default;
    property OnChange: TNotifyEvent read FOn write FOn;
  end;
  TRec = packed record
    case Tag: Byte of
      0: (A: Integer);
      1: (B: Double);
  end;
  TProc = reference to procedure(X: Integer);
  IBar = interface
    ['{00000000-0000-0000-0000-000000000000}']
  end;

{$REGION 'Routines'}
function Free(A: Integer): Boolean; stdcall;
{$ENDREGION}

implementation

{$R *.dfm}

constructor TFoo<T>.Create(AOwner: TComponent);
begin
  inherited;
  asm
    mov eax, 1
  end;
end;

function Free(A: Integer): Boolean;
begin
  Result := A > 0;
end;

initialization
  if True then begin end;
finalization
end.
