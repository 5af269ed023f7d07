<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="en_US">
<context>
    <name>printpanels</name>
    <message><source>Image Options</source><translation>Image Options</translation></message>
    <message><source>Color Balance...</source><translation>Color &amp;Balance...</translation></message>
    <message><source>Default</source><translation>&amp;Default</translation></message>
    <message><source>Color Mode:</source><translation>Color Mode:</translation></message>
    <message><source>Image Quality:</source><translation>Image Quality:</translation></message>
    <message><source>Image Type:</source><translation>Image Type:</translation></message>
    <message><source>Image Adjustment:</source><translation>Image Adjustment:</translation></message>
    <message><source>Screen:</source><translation>Screen:</translation></message>
    <message><source>Toner Save:</source><translation>Toner Save:</translation></message>
    <message><source>Brightness:</source><translation>Brightness:</translation></message>
    <message><source>Gray Guarantee:</source><translation>Gray Guarantee:</translation></message>
    <message><source>Job Type_Title</source><translation>Job Type</translation></message>
    <message><source>Color Balance</source><translation>Color Balance</translation></message>
    <message><source>Secure Print</source><translation>Secure Print</translation></message>
    <message><source>Adjust Color Balance</source><translation>&amp;Adjust Color Balance</translation></message>
    <message><source>Target Color</source><translation>&amp;Target Color</translation></message>
    <message><source>Hightlights</source><translation>Hi&amp;ghtlights</translation></message>
    <message><source>Midtones</source><translation>&amp;Midtones</translation></message>
    <message><source>Shadows</source><translation>&amp;Shadows</translation></message>
    <message><source>Black</source><translation>Black</translation></message>
    <message><source>Cyan</source><translation>Cyan</translation></message>
    <message><source>Magenta</source><translation>Magenta</translation></message>
    <message><source>Yellow</source><translation>Yellow</translation></message>
    <message><source>OK</source><translation>OK</translation></message>
    <message><source>Cancel</source><translation>Cancel</translation></message>
    <message><source>Help</source><translation>&amp;Help</translation></message>
    <message><source>Job Type</source><translation>&amp;Job Type</translation></message>
    <message><source>Setup...</source><translation>&amp;Setup...</translation></message>
    <message><source>Normal Print</source><translation>Normal Print</translation></message>
    <message><source>User ID</source><translation>&amp;User ID</translation></message>
    <message><source>Secure Print Passcode</source><translation>Secure Print &amp;Passcode</translation></message>
    <message><source>Job Name</source><translation>&amp;Job Name</translation></message>
    <message><source>New Job Name</source><translation>&amp;New Job Name</translation></message>
    <message><source>Use Existing Name</source><translation>Use Existing Name</translation></message>
    <message><source>Enter Name Mode</source><translation>Enter Name Mode</translation></message>
    <message><source>Up to 12 characters</source><translation>Up to 12 characters</translation></message>
    <message><source>1 to 8 characters</source><translation>1 to 8 characters</translation></message>
    <message><source>1 to 12 digits</source><translation>1 to 12 digits</translation></message>
    <message><source>Invalid value in User ID.</source><translation>Invalid value in User ID.</translation></message>
    <message><source>Specify within a range of 1 to 8 alphanumeric characters.</source><translation>Specify within a range of 1 to 8 alphanumeric characters.</translation></message>
    <message><source>Invalid value in Secure Print Passcode.</source><translation>Invalid value in Secure Print Passcode.</translation></message>
    <message><source>Specify within a range of 1 to 12 alphanumeric characters.</source><translation>Specify within a range of 1 to 12 alphanumeric characters.</translation></message>
    <message><source>This printer does not take the secure-print values.</source><translation>This printer does not take the secure-print values.</translation></message>
    <message><source>The job is printed normally. Check the printer&apos;s driver (PPD).</source><translation>The job is printed normally. Check the printer&apos;s driver (PPD).</translation></message>
</context>
</TS>
