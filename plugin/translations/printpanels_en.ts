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
</context>
</TS>
