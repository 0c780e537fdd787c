#pragma once

// Programmatic identifiers of the services the component creates.
namespace zpp::progid {
inline constexpr const char* PurchasePlanMain = "ZelPurchasePlan.ClsPurchasePlanMain";
inline constexpr const char* PurchasePlanInfo = "ZELMMrpCalculate.PurchasePlanInfo";
inline constexpr const char* MrpDataServer = "ZELMMrpCalculate.MrpDataServer";
inline constexpr const char* PurchasePlanUpdate = "ZELMMrpCalculate.PurchasePlanUpdate";
inline constexpr const char* Profile = "ZELMCaculateRpt.Profile";
inline constexpr const char* ProfileRead = "ZELMCaculateRpt.ProfileRead";
inline constexpr const char* UserProfileInfo = "ZELMProfile.ClassUserProfileInfo";
inline constexpr const char* BillDataAccess = "ZELBillDataAccess.GetData";
inline constexpr const char* ShareProps = "ZELPropsMgr.ShareProps";
inline constexpr const char* GLData = "ZELEBCGLView.GLData";
inline constexpr const char* GLView = "ZELEBCGLView.GLView";
inline constexpr const char* LangInfo = "ZELLangInfo.LangInfo";
inline constexpr const char* ResLoader = "WxResLoader.Loader";
inline constexpr const char* FrmResLoader = "ZELFrmRes.FrmResLoader";
inline constexpr const char* Bills = "ZELBills.Bills";
inline constexpr const char* OldDataSrv = "ZELClassLinkOld.OldDataSrv";
inline constexpr const char* BillLookUp = "ZELClassLookUp.BillLookUp";
inline constexpr const char* ChmHelp = "ZELCHMResTool.ClsCHMHelp";
inline constexpr const char* UserAdmin = "ZELUserAdmin.UserAdmin";
inline constexpr const char* DataImporter = "ZELDataImport.DataImporter";
inline constexpr const char* OrderPrint = "ZELBills.OrderPrint";
inline constexpr const char* EntryWatch = "ZELMMrpCalculate.EntryWatch";

// Every identifier the component creates today; the host program must register each one.
inline constexpr const char* CreatedByComponent[] = {
    PurchasePlanInfo, MrpDataServer,  PurchasePlanUpdate, Profile,      ProfileRead,
    UserProfileInfo,  BillDataAccess, ShareProps,         GLData,       GLView,
    LangInfo,         ResLoader,      FrmResLoader,       ChmHelp,      Bills,
    OldDataSrv,       BillLookUp,     UserAdmin,          DataImporter, OrderPrint,
    EntryWatch};
} // namespace zpp::progid
