#include "Platform/Rtl/Intf.h"

#include <gtest/gtest.h>

#include <vector>

namespace krx {
namespace {

class IShape : public virtual IInterface {
public:
  KRX_GUID("{8209041F-F37F-4570-88B8-6C310FFFF81A}");
  virtual String Name() const = 0;
};

class IColored : public virtual IInterface {
public:
  virtual Integer Color() const = 0;
};

class IUnrelated : public virtual IInterface {};

class TSquare : public TInterfacedObject, public IShape, public IColored {
public:
  explicit TSquare(std::vector<String> &log) : FLog(log) {}
  ~TSquare() override { FLog.push_back(u"freed"); }
  String Name() const override { return u"square"; }
  Integer Color() const override { return 7; }

private:
  std::vector<String> &FLog;
};

TEST(Interfaces, ObjectFreesItselfWhenTheLastReferenceGoes) {
  std::vector<String> log;
  auto *sq = new TSquare(log);
  {
    IPtr<IShape> shape(sq);
    IPtr<IColored> colored;
    ASSERT_TRUE(Supports(shape, colored));
    EXPECT_EQ(sq->RefCount(), 2); // one count for both interfaces of the object
    EXPECT_EQ(colored->Color(), 7);
    IPtr<IInterface> base = shape; // upcast keeps the same object
    EXPECT_TRUE(base == colored);
    EXPECT_EQ(sq->RefCount(), 3);
    shape = nullptr;
    colored.reset();
    EXPECT_TRUE(log.empty());
  }
  EXPECT_EQ(log, std::vector<String>{u"freed"});
}

TEST(Interfaces, SelfAssignmentAndMoveKeepTheObjectAlive) {
  std::vector<String> log;
  IPtr<IShape> a(new TSquare(log));
  a = a;
  EXPECT_TRUE(log.empty());
  IPtr<IShape> b = std::move(a);
  EXPECT_FALSE(a);
  EXPECT_TRUE(log.empty());
  // Assigning the only reference's own target through a raw pointer must not free it first.
  IShape *raw = b.get();
  b = raw;
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(b->Name(), u"square");
  b = nullptr;
  EXPECT_EQ(log.size(), 1u);
}

TEST(Interfaces, SupportsAndCastFailures) {
  std::vector<String> log;
  IPtr<IShape> shape(new TSquare(log));
  IPtr<IUnrelated> none;
  EXPECT_FALSE(Supports(shape, none));
  EXPECT_FALSE(none);
  EXPECT_TRUE(Supports<IColored>(shape));
  EXPECT_FALSE(Supports<IUnrelated>(static_cast<IShape *>(nullptr)));
  try {
    IntfCast<IUnrelated>(shape);
    FAIL() << "no exception";
  } catch (const EIntfCastError &e) {
    EXPECT_EQ(e.Message(), u"Interface not supported");
  }
  EXPECT_EQ(IntfCast<IColored>(shape)->Color(), 7);
  EXPECT_FALSE(IntfCast<IColored>(static_cast<IShape *>(nullptr)));
  // A failed cast leaves the count as it was.
  shape.reset();
  EXPECT_EQ(log.size(), 1u);
}

class TPlain : public TNoRefCountObject, public IShape {
public:
  String Name() const override { return u"plain"; }
};

TEST(Interfaces, UncountedObjectsStayWithTheirOwner) {
  auto owner = std::make_unique<TPlain>();
  {
    IPtr<IShape> s(owner.get());
    EXPECT_EQ(s->Name(), u"plain");
  }
  EXPECT_EQ(owner->Name(), u"plain"); // still alive; the owner frees it
  EXPECT_EQ(owner->ClassName(), u"TPlain");
}

TEST(Guids, ParseAndPrintRoundTrip) {
  constexpr TGUID g = TGUID::Parse("{eb6465ce-D901-43C4-AB69-240A7400B9AA}");
  static_assert(g.D1 == 0xEB6465CE && g.D2 == 0xD901 && g.D4[7] == 0xAA);
  EXPECT_EQ(GUIDToString(g), u"{EB6465CE-D901-43C4-AB69-240A7400B9AA}");
  EXPECT_EQ(StringToGUID(u"{8209041F-F37F-4570-88B8-6C310FFFF81A}"), IShape::IID);
  EXPECT_THROW(StringToGUID(u"{8209041F-F37F-4570-88B8-6C310FFFF81}"), EConvertError);
  EXPECT_THROW(StringToGUID(u"{8209041F-F37F-4570-88B8-6C310FFFF8G1}"), EConvertError);
  EXPECT_THROW(StringToGUID(u"{8209041F-F37F-4570-88B8-6C310FFFF8\u00C41}"), EConvertError);
}

} // namespace
} // namespace krx
