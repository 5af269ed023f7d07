// A small PPD for the host's own tests: one constraint the host can resolve
// (gray colour turns gray guarantee off), one it cannot (the gloss finish
// conflicts with every tray), and custom text options.
#pragma once

inline constexpr const char* kHostTestPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "HOSTTEST.PPD"
*Manufacturer: "Test"
*Product: "(Host Test)"
*ModelName: "Host Test"
*ShortNickName: "Host Test"
*NickName: "Host Test"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*OpenGroup: General/General
*OpenUI *ColorModel/Color Mode: PickOne
*DefaultColorModel: RGB
*ColorModel RGB/Color: ""
*ColorModel Gray/Grayscale: ""
*CloseUI: *ColorModel
*OpenUI *GrayGuarantee/Gray Guarantee: Boolean
*DefaultGrayGuarantee: True
*GrayGuarantee True/On: ""
*GrayGuarantee False/Off: ""
*CloseUI: *GrayGuarantee
*OpenUI *Finish/Finish: PickOne
*DefaultFinish: Plain
*Finish Plain/Plain: ""
*Finish Gloss/Gloss: ""
*CloseUI: *Finish
*OpenUI *Tray/Tray: PickOne
*DefaultTray: Auto
*Tray Auto/Automatic: ""
*Tray Manual/Manual Feed: ""
*CloseUI: *Tray
*OpenUI *UserID/User ID: PickOne
*DefaultUserID: None
*UserID None/None: ""
*CloseUI: *UserID
*CustomUserID True/Custom: ""
*ParamCustomUserID Text/Text: 1 string 1 8
*OpenUI *Passcode/Passcode: PickOne
*DefaultPasscode: None
*Passcode None/None: ""
*CloseUI: *Passcode
*CustomPasscode True/Custom: ""
*ParamCustomPasscode Pass/Passcode: 1 passcode 4 4
*OpenUI *PageSize/Page Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageRegion Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageRegion
*CloseGroup: General
*DefaultImageableArea: A4
*ImageableArea A4/A4: "12 12 583 830"
*ImageableArea Letter/Letter: "12 12 600 780"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/Letter: "612 792"
*UIConstraints: *ColorModel Gray *GrayGuarantee True
*UIConstraints: *GrayGuarantee True *ColorModel Gray
*UIConstraints: *Finish Gloss *Tray Auto
*UIConstraints: *Tray Auto *Finish Gloss
*UIConstraints: *Finish Gloss *Tray Manual
*UIConstraints: *Tray Manual *Finish Gloss
*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
)PPD";
