#include <gtest/gtest.h>

#include "render/CBaseRender.h"
#include "support/TestFiles.h"

namespace {

struct Counting : CBaseRender {
    explicit Counting(int* destroyed = nullptr) : destroyed(destroyed) {}
    ~Counting() override {
        if (destroyed)
            ++*destroyed;
    }
    void OnDestroy() override { ++destroyCalls; }
    int* destroyed;
    int destroyCalls = 0;
};

}  // namespace

TEST(RenderBase, FreshRendererCarriesTheDefaults) {
    Counting r;
    EXPECT_EQ(r.m_RegStruct.iSpeed, 14);
    EXPECT_EQ(r.m_RegStruct.iDensity, 8);
    EXPECT_EQ(r.m_RegStruct.iMarkLength, 3);
    EXPECT_EQ(r.m_RegStruct.iScale, 100);
    EXPECT_TRUE(r.m_RegStruct.bPauseKey);
    EXPECT_TRUE(r.m_RegStruct.bWaterMark);
    EXPECT_EQ(r.m_HalfTone.iGrayMethod, 3);
    EXPECT_EQ(r.m_HalfTone.iThreValue, 175);
    EXPECT_FALSE(r.m_HalfTone.ImageCompress);
    EXPECT_EQ(r.m_WaterMark.iColor, 16777215);
    EXPECT_FALSE(r.m_Image.IsValid());
    EXPECT_EQ(r.m_pPpd, nullptr);
    EXPECT_FALSE(r.m_bInited);
    EXPECT_EQ(r.GetRefCount(), 1);
}

TEST(RenderBase, EndDocRunsDestroyOnce) {
    Counting r;
    r.OnEndDoc();
    EXPECT_EQ(r.destroyCalls, 1);
}

TEST(RenderBase, MillimetresToDotsRoundUp) {
    Counting r;
    r.m_iDpi = 203;
    EXPECT_EQ(r.mm_2_dots(0), 0);
    EXPECT_EQ(r.mm_2_dots(1), 8);
    EXPECT_EQ(r.mm_2_dots(3), 24);
    EXPECT_EQ(r.mm_2_dots(10), 80);
    EXPECT_EQ(r.mm_2_dots(-1), -6);
    r.m_iDpi = 300;
    EXPECT_EQ(r.mm_2_dots(1), 12);
    EXPECT_EQ(r.mm_2_dots(10), 119);
}

TEST(RenderBase, NegativeComplementsWholeRowsAndTwiceRestores) {
    Counting r;
    testing_support::Bytes packed = {0x0F, 0xC0, 0xAA, 0x40};  // 10 pixels x 2 rows
    r.m_Image.CreateFromArray(packed.data(), 10, 2, 1, 2, false);
    r.AdjustEffWidthBits();
    ASSERT_EQ(r.m_Image.GetEffWidth(), 4u);
    r.Negative();
    EXPECT_EQ(testing_support::Hex(r.m_Image.GetBits(0), 8), "F0 00 00 00 55 80 00 00 ");
    r.Negative();
    EXPECT_EQ(testing_support::Hex(r.m_Image.GetBits(0), 8), "0F FF FF FF AA 7F FF FF ");
}

TEST(RenderBase, RowEndsBecomeWhite) {
    Counting r;
    testing_support::Bytes ten = {0x00, 0x00};
    r.m_Image.CreateFromArray(ten.data(), 10, 1, 1, 2, false);
    r.AdjustEffWidthBits();
    EXPECT_EQ(testing_support::Hex(r.m_Image.GetBits(0), 4), "00 3F FF FF ");

    testing_support::Bytes sixteen = {0x12, 0x34};
    r.m_Image.CreateFromArray(sixteen.data(), 16, 1, 1, 2, false);
    r.AdjustEffWidthBits();
    EXPECT_EQ(testing_support::Hex(r.m_Image.GetBits(0), 4), "12 34 FF FF ");
}

TEST(RefCounting, AdoptingTheSamePointerChangesNothing) {
    int destroyed = 0;
    Counting* r = new Counting(&destroyed);
    {
        CStdRefPtr<CBaseRender> holder;
        EXPECT_TRUE(holder == nullptr);
        holder = MakeRefPtr<CBaseRender>(r);
        EXPECT_EQ(r->GetRefCount(), 1);
        holder = MakeRefPtr<CBaseRender>(r);
        EXPECT_EQ(r->GetRefCount(), 1);
        EXPECT_EQ(destroyed, 0);
        EXPECT_TRUE(holder != nullptr);
        EXPECT_EQ(static_cast<CBaseRender*>(holder), r);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(RefCounting, SecondRendererReleasesTheFirst) {
    int destroyed = 0;
    CStdRefPtr<CBaseRender> holder;
    holder = MakeRefPtr<CBaseRender>(new Counting(&destroyed));
    Counting* second = new Counting(&destroyed);
    holder = MakeRefPtr<CBaseRender>(second);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(second->GetRefCount(), 1);
    EXPECT_EQ(second->AddRef(), 2);
    EXPECT_EQ(second->Release(), 1);
}
