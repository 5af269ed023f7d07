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
</context>
</TS>
