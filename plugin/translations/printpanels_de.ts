<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>printpanels</name>
    <message><source>Image Options</source><translation>Bildoptionen</translation></message>
    <message><source>Color Balance...</source><translation>&amp;Farbbalance...</translation></message>
    <message><source>Default</source><translation>&amp;Standard</translation></message>
    <message><source>Color Mode:</source><translation>Farbmodus:</translation></message>
    <message><source>Image Quality:</source><translation>Bildqualität:</translation></message>
    <message><source>Image Type:</source><translation>Bildtyp:</translation></message>
    <message><source>Image Adjustment:</source><translation>Bildanpassung:</translation></message>
    <message><source>Screen:</source><translation>Raster:</translation></message>
    <message><source>Toner Save:</source><translation>Tonersparen:</translation></message>
    <message><source>Brightness:</source><translation>Helligkeit:</translation></message>
    <message><source>Gray Guarantee:</source><translation>Graugarantie:</translation></message>
    <message><source>Job Type_Title</source><translation>Auftragsart</translation></message>
    <message><source>Color Balance</source><translation>Farbbalance</translation></message>
    <message><source>Secure Print</source><translation>Vertraulicher Druck</translation></message>
    <message><source>Adjust Color Balance</source><translation>Farbbalance &amp;anpassen</translation></message>
    <message><source>Target Color</source><translation>&amp;Zielfarbe</translation></message>
    <message><source>Hightlights</source><translation>&amp;Lichter</translation></message>
    <message><source>Midtones</source><translation>&amp;Mitteltöne</translation></message>
    <message><source>Shadows</source><translation>&amp;Tiefen</translation></message>
    <message><source>Black</source><translation>Schwarz</translation></message>
    <message><source>Cyan</source><translation>Cyan</translation></message>
    <message><source>Magenta</source><translation>Magenta</translation></message>
    <message><source>Yellow</source><translation>Gelb</translation></message>
    <message><source>OK</source><translation>OK</translation></message>
    <message><source>Cancel</source><translation>Abbrechen</translation></message>
    <message><source>Help</source><translation>&amp;Hilfe</translation></message>
    <message><source>Job Type</source><translation>Auftragsa&amp;rt</translation></message>
    <message><source>Setup...</source><translation>&amp;Einrichten...</translation></message>
    <message><source>Normal Print</source><translation>Normaler Druck</translation></message>
    <message><source>User ID</source><translation>&amp;Benutzerkennung</translation></message>
    <message><source>Secure Print Passcode</source><translation>&amp;Kennwort für vertraulichen Druck</translation></message>
    <message><source>Job Name</source><translation>&amp;Auftragsname</translation></message>
    <message><source>New Job Name</source><translation>&amp;Neuer Auftragsname</translation></message>
    <message><source>Use Existing Name</source><translation>Vorhandenen Namen verwenden</translation></message>
    <message><source>Enter Name Mode</source><translation>Namen eingeben</translation></message>
    <message><source>Up to 12 characters</source><translation>Bis zu 12 Zeichen</translation></message>
    <message><source>1 to 8 characters</source><translation>1 bis 8 Zeichen</translation></message>
    <message><source>1 to 12 digits</source><translation>1 bis 12 Ziffern</translation></message>
    <message><source>Invalid value in User ID.</source><translation>Ungültiger Wert für die Benutzerkennung.</translation></message>
    <message><source>Specify within a range of 1 to 8 alphanumeric characters.</source><translation>Geben Sie 1 bis 8 alphanumerische Zeichen ein.</translation></message>
    <message><source>Invalid value in Secure Print Passcode.</source><translation>Ungültiger Wert für das Kennwort für vertraulichen Druck.</translation></message>
    <message><source>Specify within a range of 1 to 12 alphanumeric characters.</source><translation>Geben Sie 1 bis 12 alphanumerische Zeichen ein.</translation></message>
    <message><source>This printer does not take the secure-print values.</source><translation>Dieser Drucker nimmt die Werte für den vertraulichen Druck nicht an.</translation></message>
    <message><source>The job is printed normally. Check the printer&apos;s driver (PPD).</source><translation>Der Auftrag wird normal gedruckt. Prüfen Sie den Druckertreiber (PPD).</translation></message>
</context>
</TS>
