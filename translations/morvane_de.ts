<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AccessibleControls</name>
    <message>
        <source>Begin Time</source>
        <translation>Startzeit</translation>
    </message>
    <message>
        <source>End Time</source>
        <translation>Endzeit</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
</context>
<context>
    <name>BatchController</name>
    <message>
        <source>Start Converting</source>
        <translation>Umwandlung starten</translation>
    </message>
    <message>
        <source>Stop Converting</source>
        <translation>Umwandlung anhalten</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>Stop &amp;after current jobs</source>
        <translation>Nach den laufenden Aufträgen an&amp;halten</translation>
    </message>
    <message>
        <source>&amp;Retry failed</source>
        <translation>Fehlgeschlagene &amp;wiederholen</translation>
    </message>
    <message>
        <source>&amp;Simultaneous jobs</source>
        <translation>&amp;Gleichzeitige Aufträge</translation>
    </message>
</context>
<context>
    <name>BatchExtras</name>
    <message>
        <source>Expected size</source>
        <translation>Erwartete Größe</translation>
    </message>
    <message>
        <source>at most %1</source>
        <translation>höchstens %1</translation>
    </message>
    <message>
        <source>about %1</source>
        <translation>etwa %1</translation>
    </message>
    <message>
        <source>1 file</source>
        <translation>1 Datei</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message>
        <source>, about %1</source>
        <translation>, etwa %1</translation>
    </message>
    <message>
        <source> (each fits into %1)</source>
        <translation> (jede passt in %1)</translation>
    </message>
    <message>
        <source>&amp;Fit into</source>
        <translation>&amp;Einpassen in</translation>
    </message>
    <message>
        <source>Other si&amp;ze...</source>
        <translation>Andere &amp;Größe...</translation>
    </message>
    <message>
        <source>Other si&amp;ze (%1)...</source>
        <translation>Andere &amp;Größe (%1)...</translation>
    </message>
    <message>
        <source>&amp;Off</source>
        <translation>&amp;Aus</translation>
    </message>
    <message>
        <source>Show &amp;log</source>
        <translation>Protoko&amp;ll anzeigen</translation>
    </message>
    <message>
        <source>Fit into</source>
        <translation>Einpassen in</translation>
    </message>
    <message>
        <source>Every file at most (for example 300K, 1.5M, or bytes):</source>
        <translation>Jede Datei höchstens (zum Beispiel 300K, 1.5M oder Bytes):</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a size such as 300K, 1.5M or a number of bytes. The size is unchanged.</source>
        <translation>„%1“ ist keine Größe wie 300K, 1.5M oder eine Anzahl Bytes. Die Größe bleibt unverändert.</translation>
    </message>
    <message>
        <source>The files of this batch need about %1, but the output folder %2 has only %3 free. Converting may stop when the disk is full.

Convert anyway?</source>
        <translation>Die Dateien dieses Durchgangs brauchen etwa %1, aber im Ausgabeordner %2 sind nur %3 frei. Die Umwandlung kann abbrechen, wenn der Datenträger voll ist.

Trotzdem umwandeln?</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Convert anyway</source>
        <translation>Trotzdem umwandeln</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>BatchSummary</name>
    <message>
        <source>%1 finished</source>
        <translation>%1 fertig</translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation>%1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>%1 canceled</source>
        <translation>%1 abgebrochen</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 nicht umgewandelt</translation>
    </message>
    <message>
        <source>%1 of 1 job finished</source>
        <translation>%1 von 1 Auftrag fertig</translation>
    </message>
    <message>
        <source>%1 of %2 jobs finished</source>
        <translation>%1 von %2 Aufträgen fertig</translation>
    </message>
    <message>
        <source>1 job skipped: its output file existed and was kept.</source>
        <translation>1 Auftrag übersprungen: Seine Ausgabedatei war schon vorhanden und wurde behalten.</translation>
    </message>
    <message>
        <source>%1 jobs skipped: their output files existed and were kept.</source>
        <translation>%1 Aufträge übersprungen: Ihre Ausgabedateien waren schon vorhanden und wurden behalten.</translation>
    </message>
    <message>
        <source>           	          Converting Finished         	            </source>
        <translation>           	          Umwandlung abgeschlossen         	            </translation>
    </message>
    <message>
        <source>Converting ended: %1.</source>
        <translation>Umwandlung beendet: %1.</translation>
    </message>
    <message>
        <source>Converting ended: nothing was converted.</source>
        <translation>Umwandlung beendet: Nichts wurde umgewandelt.</translation>
    </message>
    <message>
        <source>Why a job failed shows in the tooltip of its Progress cell and in %1</source>
        <translation>Warum ein Auftrag fehlschlug, steht im Tooltip seiner Fortschritt-Zelle und in %1</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>, %1 failed</source>
        <translation>, %1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>, %1 skipped</source>
        <translation>, %1 übersprungen</translation>
    </message>
</context>
<context>
    <name>CHyperlinkLabel</name>
    <message>
        <source>Unable to open hyperlink: no program on this computer opens web addresses.

Install a web browser and xdg-utils (which provides xdg-open), or open the address in a web browser by hand:

</source>
        <translation>Der Link kann nicht geöffnet werden: Kein Programm auf diesem Computer öffnet Webadressen.

Installieren Sie einen Webbrowser und xdg-utils (das xdg-open enthält), oder öffnen Sie die Adresse von Hand in einem Webbrowser:

</translation>
    </message>
</context>
<context>
    <name>CMorvaneDlg</name>
    <message>
        <source>FFmpeg: the encoder behind every profile</source>
        <translation>FFmpeg: der Encoder hinter jedem Profil</translation>
    </message>
    <message>
        <source>OpenCORE AMR: the AMR-NB speech codec for 3GP</source>
        <translation>OpenCORE AMR: der AMR-NB-Sprachcodec für 3GP</translation>
    </message>
    <message>
        <source>3GPP: the 3GP file format for mobile phones</source>
        <translation>3GPP: das 3GP-Dateiformat für Handys</translation>
    </message>
    <message>
        <source>3GPP2: the 3G2 file format for CDMA phones</source>
        <translation>3GPP2: das 3G2-Dateiformat für CDMA-Handys</translation>
    </message>
    <message>
        <source>Support Video Files</source>
        <translation>Unterstützte Videodateien</translation>
    </message>
    <message>
        <source>AVI Files</source>
        <translation>AVI-Dateien</translation>
    </message>
    <message>
        <source>WAV Files</source>
        <translation>WAV-Dateien</translation>
    </message>
    <message>
        <source>Mpeg files</source>
        <translation>MPEG-Dateien</translation>
    </message>
    <message>
        <source>RealMedia Files</source>
        <translation>RealMedia-Dateien</translation>
    </message>
    <message>
        <source>Windows Media files</source>
        <translation>Windows-Media-Dateien</translation>
    </message>
    <message>
        <source>Quick Time Files</source>
        <translation>QuickTime-Dateien</translation>
    </message>
    <message>
        <source>Other media files</source>
        <translation>Andere Mediendateien</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message>
        <source>Output Setting</source>
        <translation>Ausgabeeinstellungen</translation>
    </message>
    <message>
        <source>Automatically Shut Down the computer when converting finished</source>
        <translation>Computer nach der Umwandlung automatisch herunterfahren</translation>
    </message>
    <message>
        <source>Output Directory:</source>
        <translation>Ausgabeordner:</translation>
    </message>
    <message>
        <source>Select Output Type:</source>
        <translation>Ausgabetyp:</translation>
    </message>
    <message>
        <source>Select Profile:</source>
        <translation>Profil wählen:</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Wählen</translation>
    </message>
    <message>
        <source>Add a video to converting task</source>
        <translation>Ein Video zur Umwandlung hinzufügen</translation>
    </message>
    <message>
        <source>Remove selected video</source>
        <translation>Gewähltes Video entfernen</translation>
    </message>
    <message>
        <source>Remove all videos</source>
        <translation>Alle Videos entfernen</translation>
    </message>
    <message>
        <source>Start Converting</source>
        <translation>Umwandlung starten</translation>
    </message>
    <message>
        <source>Stop Converting</source>
        <translation>Umwandlung anhalten</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>Preview selected videos</source>
        <translation>Vorschau der gewählten Videos</translation>
    </message>
    <message>
        <source>Stop preview</source>
        <translation>Vorschau beenden</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove all</source>
        <translation>Alle entfernen</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Starten</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Choose the output directory</source>
        <translation>Den Ausgabeordner wählen</translation>
    </message>
    <message>
        <source>Trim</source>
        <translation>Zuschneiden</translation>
    </message>
    <message>
        <source>Begin and end of the part to convert</source>
        <translation>Anfang und Ende des Teils, der umgewandelt wird</translation>
    </message>
    <message>
        <source>Jobs</source>
        <translation>Aufträge</translation>
    </message>
    <message>
        <source>The videos to convert: source, begin and end time, output, progress</source>
        <translation>Die Videos, die umgewandelt werden: Quelle, Start- und Endzeit, Ausgabe, Fortschritt</translation>
    </message>
    <message>
        <source>Select Output Type</source>
        <translation>Ausgabetyp wählen</translation>
    </message>
    <message>
        <source>Select Profile</source>
        <translation>Profil wählen</translation>
    </message>
    <message>
        <source>Profile description</source>
        <translation>Profilbeschreibung</translation>
    </message>
    <message>
        <source>Output Directory</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Why the last change of the list did not happen</source>
        <translation>Warum die letzte Änderung der Liste nicht ausgeführt wurde</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>The picture of the selected video</source>
        <translation>Das Bild des gewählten Videos</translation>
    </message>
    <message>
        <source>Conversion list</source>
        <translation>Umwandlungsliste</translation>
    </message>
    <message>
        <source>Your computer cannot shutdown</source>
        <translation>Ihr Computer kann nicht heruntergefahren werden</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Nothing was converted: the trimmed range of these files is empty (the end must come after the begin):
%1</source>
        <translation>Nichts wurde umgewandelt: Der zugeschnittene Bereich dieser Dateien ist leer (das Ende muss nach dem Anfang kommen):
%1</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>&amp;Auto (%1)</source>
        <translation>&amp;Automatisch (%1)</translation>
    </message>
    <message>
        <source> - paused</source>
        <translation> - angehalten</translation>
    </message>
    <message>
        <source> - estimating</source>
        <translation> - wird geschätzt</translation>
    </message>
    <message>
        <source> - stopping after the current jobs</source>
        <translation> - hält nach den laufenden Aufträgen an</translation>
    </message>
    <message>
        <source>Morvane: converting ended</source>
        <translation>Morvane: Umwandlung beendet</translation>
    </message>
    <message>
        <source>Morvane: converting finished</source>
        <translation>Morvane: Umwandlung abgeschlossen</translation>
    </message>
    <message>
        <source>The computer shuts down in a minute.</source>
        <translation>Der Computer wird in einer Minute heruntergefahren.</translation>
    </message>
    <message>
        <source>

Converting will not end with a shutdown.</source>
        <translation>

Der Computer wird nach der Umwandlung nicht heruntergefahren.</translation>
    </message>
    <message>
        <source>%1 holds no media files.</source>
        <translation>%1 enthält keine Mediendateien.</translation>
    </message>
    <message>
        <source>estimating</source>
        <translation>wird geschätzt</translation>
    </message>
    <message>
        <source>Paused  %1%</source>
        <translation>Angehalten  %1%</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source> (paused)</source>
        <translation> (angehalten)</translation>
    </message>
    <message>
        <source>Not started: stopping after the current jobs</source>
        <translation>Nicht gestartet: Anhalten nach den laufenden Aufträgen</translation>
    </message>
    <message>
        <source>profile %1</source>
        <translation>Profil %1</translation>
    </message>
    <message>
        <source>Its own type and profile:
%1
%2</source>
        <translation>Eigener Typ und eigenes Profil:
%1
%2</translation>
    </message>
    <message>
        <source>Select a profile first.</source>
        <translation>Wählen Sie zuerst ein Profil.</translation>
    </message>
    <message>
        <source>It is a still picture, not a video or a sound: there is nothing to convert.</source>
        <translation>Es ist ein Standbild, kein Video und kein Ton: Es gibt nichts umzuwandeln.</translation>
    </message>
    <message>
        <source>%1 cannot be added.
%2</source>
        <translation>%1 kann nicht hinzugefügt werden.
%2</translation>
    </message>
    <message>
        <source>Remove all %1 videos from the list?</source>
        <translation>Alle %1 Videos aus der Liste entfernen?</translation>
    </message>
    <message>
        <source>Keep them</source>
        <translation>Behalten</translation>
    </message>
    <message>
        <source>The begin must come before the end (%1).</source>
        <translation>Der Anfang muss vor dem Ende (%1) liegen.</translation>
    </message>
    <message>
        <source>The end must come after the begin (%1).</source>
        <translation>Das Ende muss nach dem Anfang (%1) liegen.</translation>
    </message>
    <message>
        <source>%1 cannot be played.
%2</source>
        <translation>%1 kann nicht abgespielt werden.
%2</translation>
    </message>
</context>
<context>
    <name>CVideoEdit</name>
    <message>
        <source>%1 cannot be played.
%2</source>
        <translation>%1 kann nicht abgespielt werden.
%2</translation>
    </message>
    <message>
        <source>No clip is open.</source>
        <translation>Es ist kein Clip geöffnet.</translation>
    </message>
    <message>
        <source>No sound device: playing without sound</source>
        <translation>Kein Audiogerät: Wiedergabe ohne Ton</translation>
    </message>
</context>
<context>
    <name>ChildProcessRunner</name>
    <message>
        <source>The encoder could not be started.</source>
        <translation>Der Encoder konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The encoder is still running.</source>
        <translation>Der Encoder läuft noch.</translation>
    </message>
    <message>
        <source>The encoder crashed or was killed.</source>
        <translation>Der Encoder ist abgestürzt oder wurde beendet.</translation>
    </message>
    <message>
        <source>The encoder ended with code %1.</source>
        <translation>Der Encoder endete mit Code %1.</translation>
    </message>
</context>
<context>
    <name>ConversionEngine</name>
    <message>
        <source>  Please set the output directory firstly   </source>
        <translation>  Bitte legen Sie zuerst den Ausgabeordner fest   </translation>
    </message>
    <message>
        <source>The output directory %1 has a name that is not valid UTF-8, which the encoder cannot write to. Rename it or choose another.</source>
        <translation>Der Name des Ausgabeordners %1 ist kein gültiges UTF-8, und der Encoder kann dort nicht schreiben. Benennen Sie ihn um oder wählen Sie einen anderen.</translation>
    </message>
    <message>
        <source>The output directory %1 does not exist.</source>
        <translation>Der Ausgabeordner %1 existiert nicht.</translation>
    </message>
    <message>
        <source>The output directory %1 is not a directory.</source>
        <translation>Der Ausgabeordner %1 ist kein Ordner.</translation>
    </message>
    <message>
        <source>The output directory %1 cannot be written to.</source>
        <translation>In den Ausgabeordner %1 kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>The encoder program &quot;ffmpeg&quot; cannot be found. Install it (on Debian: sudo apt install ffmpeg libavcodec-extra).</source>
        <translation>Das Encoder-Programm „ffmpeg“ wurde nicht gefunden. Installieren Sie es (unter Debian: sudo apt install ffmpeg libavcodec-extra).</translation>
    </message>
    <message>
        <source>The encoder program &quot;%1&quot; that the profile names cannot be found. Install it, or correct the profile file.</source>
        <translation>Das Encoder-Programm „%1“, das das Profil nennt, wurde nicht gefunden. Installieren Sie es oder korrigieren Sie die Profildatei.</translation>
    </message>
    <message>
        <source>%1 (its own type and profile): %2</source>
        <translation>%1 (eigener Typ und eigenes Profil): %2</translation>
    </message>
</context>
<context>
    <name>ConversionJob</name>
    <message>
        <source>The encoder wrote no output file.</source>
        <translation>Der Encoder hat keine Ausgabedatei geschrieben.</translation>
    </message>
    <message>
        <source>The encoder made no progress for 1 minute.</source>
        <translation>Der Encoder kam 1 Minute lang nicht voran.</translation>
    </message>
    <message>
        <source>The encoder made no progress for %1 minutes.</source>
        <translation>Der Encoder kam %1 Minuten lang nicht voran.</translation>
    </message>
    <message>
        <source>The encoder made no progress for 1 second.</source>
        <translation>Der Encoder kam 1 Sekunde lang nicht voran.</translation>
    </message>
    <message>
        <source>The encoder made no progress for %1 seconds.</source>
        <translation>Der Encoder kam %1 Sekunden lang nicht voran.</translation>
    </message>
    <message>
        <source>The output file cannot be read: %1</source>
        <translation>Die Ausgabedatei kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>%1 A second encode at a lower rate did not fit either.</source>
        <translation>%1 Auch eine zweite Umwandlung mit niedrigerer Rate passte nicht.</translation>
    </message>
    <message>
        <source>The output folder %1 no longer exists.</source>
        <translation>Der Ausgabeordner %1 existiert nicht mehr.</translation>
    </message>
    <message>
        <source>The file came out at %1, over the %2 it must fit into, also after a second encode at a lower rate: this picture needs more. Shorten the range or choose a larger size.</source>
        <translation>Die Datei wurde %1 groß, mehr als die %2, in die sie passen muss, auch nach einer zweiten Umwandlung mit niedrigerer Rate: Dieses Bild braucht mehr. Kürzen Sie den Bereich oder wählen Sie eine größere Größe.</translation>
    </message>
    <message>
        <source>The profile&apos;s FitInto value &quot;%1&quot; is not a size such as 300K or 1.5M.</source>
        <translation>Der FitInto-Wert „%1“ des Profils ist keine Größe wie 300K oder 1.5M.</translation>
    </message>
    <message>
        <source>This profile names no video rate (-b:v), so its files cannot be fitted to a size.</source>
        <translation>Dieses Profil nennt keine Videorate (-b:v), daher lassen sich seine Dateien nicht in eine Größe einpassen.</translation>
    </message>
    <message>
        <source>The file came out at %1, over the %2 it must fit into.</source>
        <translation>Die Datei wurde %1 groß, mehr als die %2, in die sie passen muss.</translation>
    </message>
</context>
<context>
    <name>EncoderCapabilities</name>
    <message>
        <source>This profile needs the encoder &quot;%1&quot;, which the installed %2 does not have. %3</source>
        <translation>Dieses Profil braucht den Encoder „%1“, den das installierte %2 nicht hat. %3</translation>
    </message>
    <message>
        <source>Install a build of %1 that has it.</source>
        <translation>Installieren Sie eine Version von %1, die ihn hat.</translation>
    </message>
    <message>
        <source>Install the package %1 (on Debian: sudo apt install %1).</source>
        <translation>Installieren Sie das Paket %1 (unter Debian: sudo apt install %1).</translation>
    </message>
    <message>
        <source>This profile needs the output format &quot;%1&quot;, which the installed %2 cannot write.</source>
        <translation>Dieses Profil braucht das Ausgabeformat „%1“, das das installierte %2 nicht schreiben kann.</translation>
    </message>
</context>
<context>
    <name>FilePlacement</name>
    <message>
        <source>The name %1 is too long for the file system of the output folder.</source>
        <translation>Der Name %1 ist zu lang für das Dateisystem des Ausgabeordners.</translation>
    </message>
    <message>
        <source>The output file cannot be moved to %1: %2</source>
        <translation>Die Ausgabedatei kann nicht nach %1 verschoben werden: %2</translation>
    </message>
    <message>
        <source>The output file cannot be copied into %1: %2</source>
        <translation>Die Ausgabedatei kann nicht nach %1 kopiert werden: %2</translation>
    </message>
</context>
<context>
    <name>JobCellText</name>
    <message>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>Begin Time</source>
        <translation>Startzeit</translation>
    </message>
    <message>
        <source>End Time</source>
        <translation>Endzeit</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source> Finished </source>
        <translation> Fertig </translation>
    </message>
    <message>
        <source>Buffering  %1%</source>
        <translation>Puffern  %1%</translation>
    </message>
    <message>
        <source>%1    %2MB    %3Frames/s      %%4 </source>
        <translation>%1    %2MB    %3Bilder/s      %%4 </translation>
    </message>
    <message>
        <source>Exporting</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Changeing</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Canceled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>Übersprungen</translation>
    </message>
    <message>
        <source>%1 s left</source>
        <translation>noch %1 s</translation>
    </message>
    <message>
        <source>%1 min left</source>
        <translation>noch %1 min</translation>
    </message>
    <message>
        <source>%1 h %2 min left</source>
        <translation>noch %1 h %2 min</translation>
    </message>
    <message>
        <source>Source missing</source>
        <translation>Quelle fehlt</translation>
    </message>
    <message>
        <source>Interrupted</source>
        <translation>Unterbrochen</translation>
    </message>
</context>
<context>
    <name>JobListController</name>
    <message>
        <source>&amp;Add...</source>
        <translation>&amp;Hinzufügen...</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>Entfe&amp;rnen</translation>
    </message>
    <message>
        <source>Remove a&amp;ll</source>
        <translation>&amp;Alle entfernen</translation>
    </message>
    <message>
        <source>Move &amp;up</source>
        <translation>Nach &amp;oben</translation>
    </message>
    <message>
        <source>Move &amp;down</source>
        <translation>Nach &amp;unten</translation>
    </message>
    <message>
        <source>Use this &amp;type and profile for the selected rows</source>
        <translation>&amp;Diesen Typ und dieses Profil für die gewählten Zeilen verwenden</translation>
    </message>
    <message>
        <source>&amp;Follow the page&apos;s type and profile in the selected rows</source>
        <translation>Typ und Profil der &amp;Seite wieder für die gewählten Zeilen verwenden</translation>
    </message>
    <message>
        <source>No row is selected.</source>
        <translation>Es ist keine Zeile gewählt.</translation>
    </message>
    <message>
        <source>%1 is being converted: it cannot be changed now.</source>
        <translation>%1 wird gerade umgewandelt: Der Auftrag kann jetzt nicht geändert werden.</translation>
    </message>
    <message>
        <source>%1 has had its turn in this batch: it can be changed when the batch is over.</source>
        <translation>%1 war in diesem Durchgang schon an der Reihe: Der Auftrag kann nach dem Durchgang geändert werden.</translation>
    </message>
</context>
<context>
    <name>LogWindow</name>
    <message>
        <source>Morvane log</source>
        <translation>Morvane-Protokoll</translation>
    </message>
    <message>
        <source>This session&apos;s entries; every session&apos;s are in %1</source>
        <translation>Die Einträge dieser Sitzung; die aller Sitzungen stehen in %1</translation>
    </message>
    <message>
        <source>Nothing has been logged in this session.</source>
        <translation>In dieser Sitzung wurde nichts protokolliert.</translation>
    </message>
    <message>
        <source>Log entries</source>
        <translation>Protokolleinträge</translation>
    </message>
</context>
<context>
    <name>LogindManager</name>
    <message>
        <source>The system bus is not available.</source>
        <translation>Der Systembus ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>The login manager is not available.</source>
        <translation>Der Anmeldemanager ist nicht verfügbar.</translation>
    </message>
</context>
<context>
    <name>MediaDecoder</name>
    <message>
        <source>The file cannot be opened.</source>
        <translation>Die Datei kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>The file&apos;s streams cannot be read.</source>
        <translation>Die Datenströme der Datei können nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The file&apos;s picture cannot be decoded.</source>
        <translation>Das Bild der Datei kann nicht dekodiert werden.</translation>
    </message>
    <message>
        <source>The file holds no picture.</source>
        <translation>Die Datei enthält kein Bild.</translation>
    </message>
    <message>
        <source>The file&apos;s sound cannot be decoded.</source>
        <translation>Der Ton der Datei kann nicht dekodiert werden.</translation>
    </message>
    <message>
        <source>The file holds no sound.</source>
        <translation>Die Datei enthält keinen Ton.</translation>
    </message>
    <message>
        <source>The file&apos;s streams cannot be decoded.</source>
        <translation>Die Datenströme der Datei können nicht dekodiert werden.</translation>
    </message>
    <message>
        <source>The file holds neither video nor sound.</source>
        <translation>Die Datei enthält weder Video noch Ton.</translation>
    </message>
    <message>
        <source>Out of memory.</source>
        <translation>Nicht genug Arbeitsspeicher.</translation>
    </message>
</context>
<context>
    <name>MediaProbe</name>
    <message>
        <source>The file is a named pipe (FIFO), not a regular file.</source>
        <translation>Die Datei ist eine benannte Pipe (FIFO), keine reguläre Datei.</translation>
    </message>
    <message>
        <source>The file is a socket, not a regular file.</source>
        <translation>Die Datei ist ein Socket, keine reguläre Datei.</translation>
    </message>
    <message>
        <source>The file is a device, not a regular file.</source>
        <translation>Die Datei ist ein Gerät, keine reguläre Datei.</translation>
    </message>
    <message>
        <source>The file is a folder, not a regular file.</source>
        <translation>Die Datei ist ein Ordner, keine reguläre Datei.</translation>
    </message>
    <message>
        <source>The file is not a file, not a regular file.</source>
        <translation>Die Datei ist keine Datei, also keine reguläre Datei.</translation>
    </message>
    <message>
        <source>The file does not exist.</source>
        <translation>Die Datei existiert nicht.</translation>
    </message>
    <message>
        <source>The file cannot be read.</source>
        <translation>Die Datei kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>The file is not a video or audio file that can be read (%1).</source>
        <translation>Die Datei ist keine lesbare Video- oder Audiodatei (%1).</translation>
    </message>
    <message>
        <source>The file&apos;s streams cannot be read (%1).</source>
        <translation>Die Datenströme der Datei können nicht gelesen werden (%1).</translation>
    </message>
    <message>
        <source>The file holds neither video nor sound.</source>
        <translation>Die Datei enthält weder Video noch Ton.</translation>
    </message>
    <message>
        <source>Nothing in the file can be played; it may be truncated.</source>
        <translation>Nichts in der Datei kann abgespielt werden; vielleicht ist sie abgeschnitten.</translation>
    </message>
</context>
<context>
    <name>Mp4Boxes</name>
    <message>
        <source>The file&apos;s boxes are nested too deep.</source>
        <translation>Die Boxen der Datei sind zu tief verschachtelt.</translation>
    </message>
    <message>
        <source>The file&apos;s index holds a damaged box.</source>
        <translation>Der Index der Datei enthält eine beschädigte Box.</translation>
    </message>
    <message>
        <source>The file&apos;s &apos;mdhd&apos; box is cut short.</source>
        <translation>Die &apos;mdhd&apos;-Box der Datei ist abgeschnitten.</translation>
    </message>
    <message>
        <source>The file&apos;s &apos;stts&apos; box is cut short.</source>
        <translation>Die &apos;stts&apos;-Box der Datei ist abgeschnitten.</translation>
    </message>
    <message>
        <source>The file&apos;s sample table is too large.</source>
        <translation>Die Sample-Tabelle der Datei ist zu groß.</translation>
    </message>
    <message>
        <source>The file&apos;s &apos;stsz&apos; box is cut short.</source>
        <translation>Die &apos;stsz&apos;-Box der Datei ist abgeschnitten.</translation>
    </message>
    <message>
        <source>The file&apos;s boxes cannot be read.</source>
        <translation>Die Boxen der Datei können nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The file&apos;s index is too large.</source>
        <translation>Der Index der Datei ist zu groß.</translation>
    </message>
    <message>
        <source>The file&apos;s index is cut short.</source>
        <translation>Der Index der Datei ist abgeschnitten.</translation>
    </message>
    <message>
        <source>The file&apos;s index holds no track.</source>
        <translation>Der Index der Datei enthält keine Spur.</translation>
    </message>
    <message>
        <source>The file has no index (&apos;moov&apos;).</source>
        <translation>Die Datei hat keinen Index (&apos;moov&apos;).</translation>
    </message>
</context>
<context>
    <name>OutputCheck</name>
    <message>
        <source>stream %1 has a damaged packet at %2 s</source>
        <translation>Datenstrom %1 hat bei %2 s ein beschädigtes Paket</translation>
    </message>
    <message>
        <source>stream %1 goes back in time at %2 s</source>
        <translation>Datenstrom %1 springt bei %2 s in der Zeit zurück</translation>
    </message>
    <message>
        <source>stream %1 does not decode at %2 s (%3)</source>
        <translation>Datenstrom %1 lässt sich bei %2 s nicht dekodieren (%3)</translation>
    </message>
    <message>
        <source>stream %1 does not decode at its end</source>
        <translation>Datenstrom %1 lässt sich an seinem Ende nicht dekodieren</translation>
    </message>
    <message>
        <source>The output file cannot be opened (%1).</source>
        <translation>Die Ausgabedatei kann nicht geöffnet werden (%1).</translation>
    </message>
    <message>
        <source>The output file&apos;s streams cannot be read (%1).</source>
        <translation>Die Datenströme der Ausgabedatei können nicht gelesen werden (%1).</translation>
    </message>
    <message>
        <source>The output file is no %1 file (brand &quot;%2&quot;).</source>
        <translation>Die Ausgabedatei ist keine %1-Datei (Kennung „%2“).</translation>
    </message>
    <message>
        <source>The output&apos;s stream %1 has no decoder.</source>
        <translation>Für Datenstrom %1 der Ausgabe gibt es keinen Decoder.</translation>
    </message>
    <message>
        <source>The output&apos;s stream %1 cannot be decoded.</source>
        <translation>Datenstrom %1 der Ausgabe kann nicht dekodiert werden.</translation>
    </message>
    <message>
        <source>The output file has no picture.</source>
        <translation>Die Ausgabedatei hat kein Bild.</translation>
    </message>
    <message>
        <source>The output file has a picture the source lacks.</source>
        <translation>Die Ausgabedatei hat ein Bild, das der Quelle fehlt.</translation>
    </message>
    <message>
        <source>The output file has no sound.</source>
        <translation>Die Ausgabedatei hat keinen Ton.</translation>
    </message>
    <message>
        <source>The output file has sound the source lacks.</source>
        <translation>Die Ausgabedatei hat Ton, der der Quelle fehlt.</translation>
    </message>
    <message>
        <source>The output file lasts %1 s instead of %2 s.</source>
        <translation>Die Ausgabedatei dauert %1 s statt %2 s.</translation>
    </message>
    <message>
        <source>The output file does not decode cleanly: %1.</source>
        <translation>Die Ausgabedatei lässt sich nicht fehlerfrei dekodieren: %1.</translation>
    </message>
    <message>
        <source>The output&apos;s stream %1 holds nothing to play.</source>
        <translation>Datenstrom %1 der Ausgabe enthält nichts Abspielbares.</translation>
    </message>
    <message>
        <source>The output&apos;s video is %1, not what the profile makes.</source>
        <translation>Das Video der Ausgabe ist %1, nicht das, was das Profil erzeugt.</translation>
    </message>
    <message>
        <source>The output&apos;s sound is %1, not what the profile makes.</source>
        <translation>Der Ton der Ausgabe ist %1, nicht das, was das Profil erzeugt.</translation>
    </message>
</context>
<context>
    <name>OutputType</name>
    <message>
        <source>Cell Phone 3GP  files (3GP + AMR)</source>
        <translation>Handy: 3GP-Dateien  (3GP + AMR)</translation>
    </message>
    <message>
        <source>Cell Phone 3GP  files (3GP + AAC)</source>
        <translation>Handy: 3GP-Dateien  (3GP + AAC)</translation>
    </message>
    <message>
        <source>Cell Phone 3GP2 files (3GP2 + AAC)</source>
        <translation>Handy: 3GP2-Dateien (3GP2 + AAC)</translation>
    </message>
</context>
<context>
    <name>PhoneConformance</name>
    <message>
        <source>The file&apos;s index comes after its media data, so a phone cannot play it while it downloads.</source>
        <translation>Der Index der Datei steht hinter ihren Mediendaten, daher kann ein Telefon sie nicht schon beim Herunterladen abspielen.</translation>
    </message>
    <message>
        <source>The H.263 track has no &apos;d263&apos; box.</source>
        <translation>Die H.263-Spur hat keine &apos;d263&apos;-Box.</translation>
    </message>
    <message>
        <source>The profile asks for H.263 level %1, which this program does not know.</source>
        <translation>Das Profil verlangt H.263-Level %1, das dieses Programm nicht kennt.</translation>
    </message>
    <message>
        <source>The video says MPEG-4 profile and level %1, but the profile asks for %2.</source>
        <translation>Das Video nennt MPEG-4-Profil und -Level %1, aber das Profil verlangt %2.</translation>
    </message>
    <message>
        <source>The profile asks for MPEG-4 profile and level %1, which this program does not know.</source>
        <translation>Das Profil verlangt MPEG-4-Profil und -Level %1, das dieses Programm nicht kennt.</translation>
    </message>
</context>
<context>
    <name>PlaybackDecoder</name>
    <message>
        <source>No clip is open.</source>
        <translation>Es ist kein Clip geöffnet.</translation>
    </message>
</context>
<context>
    <name>PowerControl</name>
    <message>
        <source>Powering off is not permitted (%1).</source>
        <translation>Ausschalten ist nicht erlaubt (%1).</translation>
    </message>
    <message>
        <source>Converting videos</source>
        <translation>Videos werden umgewandelt</translation>
    </message>
</context>
<context>
    <name>Profile</name>
    <message>
        <source>The profile file %1 is missing or holds no profiles.</source>
        <translation>Die Profildatei %1 fehlt oder enthält keine Profile.</translation>
    </message>
    <message>
        <source>No profile is selected. Please select a profile.</source>
        <translation>Kein Profil ausgewählt. Bitte wählen Sie ein Profil.</translation>
    </message>
    <message>
        <source>The profile file %1 has no profile %2.</source>
        <translation>Die Profildatei %1 hat kein Profil %2.</translation>
    </message>
    <message>
        <source>The profile &quot;%1&quot; in %2 is malformed: it needs at least %3 lines (a title and the command lines), and none of them blank; it has %4.</source>
        <translation>Das Profil „%1“ in %2 ist fehlerhaft: Es braucht mindestens %3 Zeilen (einen Titel und die Befehlszeilen), von denen keine leer sein darf; es hat %4.</translation>
    </message>
</context>
<context>
    <name>ShutdownCountdown</name>
    <message>
        <source>Converting finished. The computer shuts down in 1 second.</source>
        <translation>Umwandlung abgeschlossen. Der Computer wird in 1 Sekunde heruntergefahren.</translation>
    </message>
    <message>
        <source>Converting finished. The computer shuts down in %1 seconds.</source>
        <translation>Umwandlung abgeschlossen. Der Computer wird in %1 Sekunden heruntergefahren.</translation>
    </message>
</context>
<context>
    <name>SizeModel</name>
    <message>
        <source>%1 of sound at %2 alone needs about %3: it cannot fit into %4.</source>
        <translation>%1 Ton mit %2 braucht allein etwa %3: Das passt nicht in %4.</translation>
    </message>
    <message>
        <source>Fitting %1 into %2 leaves %3 for the picture, below the %4 that still shows one: shorten the range or choose a larger size.</source>
        <translation>Wenn %1 in %2 passen sollen, bleiben %3 für das Bild, weniger als die %4, mit denen noch eines zu sehen ist: Kürzen Sie den Bereich oder wählen Sie eine größere Größe.</translation>
    </message>
</context>
<context>
    <name>TimeCellEditor</name>
    <message>
        <source>Type the time as hh:mm:ss or as seconds, for example 1:05.5 or 65.5</source>
        <translation>Geben Sie die Zeit als hh:mm:ss oder in Sekunden ein, zum Beispiel 1:05.5 oder 65.5</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
</context>
<context>
    <name>TrimController</name>
    <message>
        <source>Preview selected videos</source>
        <translation>Vorschau der gewählten Videos</translation>
    </message>
    <message>
        <source>Stop preview</source>
        <translation>Vorschau beenden</translation>
    </message>
</context>
<context>
    <name>UserPrompts</name>
    <message>
        <source>No program on this computer opens %1.

Open it by hand (a web browser opens the guide, a file manager a folder).</source>
        <translation>Kein Programm auf diesem Computer öffnet %1.

Öffnen Sie es von Hand (ein Webbrowser öffnet die Anleitung, ein Dateimanager einen Ordner).</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Converting is not finished. Stop it and close Morvane?</source>
        <translation>Die Umwandlung läuft noch. Anhalten und Morvane schließen?</translation>
    </message>
    <message>
        <source>Stop and close</source>
        <translation>Anhalten und schließen</translation>
    </message>
    <message>
        <source>Keep converting</source>
        <translation>Weiter umwandeln</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Shut Down</source>
        <translation>Herunterfahren</translation>
    </message>
    <message>
        <source>1 file already exists</source>
        <translation>1 Datei ist schon vorhanden</translation>
    </message>
    <message>
        <source>%1 files already exist</source>
        <translation>%1 Dateien sind schon vorhanden</translation>
    </message>
    <message>
        <source>
... and %1 more</source>
        <translation>
... und %1 weitere</translation>
    </message>
    <message>
        <source>In the output directory:
%1

Overwrite them, keep both (the new files get free names such as &quot;clip (2).3gp&quot;), or skip these jobs?</source>
        <translation>Im Ausgabeordner:
%1

Überschreiben, beide behalten (die neuen Dateien bekommen freie Namen wie „clip (2).3gp“) oder diese Aufträge überspringen?</translation>
    </message>
    <message>
        <source>Overwrite</source>
        <translation>Überschreiben</translation>
    </message>
    <message>
        <source>Keep both</source>
        <translation>Beide behalten</translation>
    </message>
    <message>
        <source>Skip them</source>
        <translation>Überspringen</translation>
    </message>
</context>
<context>
    <name>VideoLevel</name>
    <message>
        <source>pictures of %1x%2</source>
        <translation>Bilder von %1x%2</translation>
    </message>
    <message>
        <source>%1 pictures per second</source>
        <translation>%1 Bilder pro Sekunde</translation>
    </message>
    <message>
        <source>%1 macroblocks per picture</source>
        <translation>%1 Makroblöcke pro Bild</translation>
    </message>
    <message>
        <source>%1 macroblocks per second</source>
        <translation>%1 Makroblöcke pro Sekunde</translation>
    </message>
    <message>
        <source>an average of %1 kbit/s</source>
        <translation>im Mittel %1 kbit/s</translation>
    </message>
    <message>
        <source>a decoder buffer of %1 kbit</source>
        <translation>ein Decoderpuffer von %1 kbit</translation>
    </message>
    <message>
        <source>a picture of %1 bits</source>
        <translation>ein Bild mit %1 Bit</translation>
    </message>
    <message>
        <source>The video does not fit %1 (%2 kbit/s, a %3 kbit buffer): %4.</source>
        <translation>Das Video passt nicht zu %1 (%2 kbit/s, %3 kbit Puffer): %4.</translation>
    </message>
</context>
<context>
    <name>WorkFolder</name>
    <message>
        <source>A work folder cannot be made in %1: %2</source>
        <translation>In %1 kann kein Arbeitsordner angelegt werden: %2</translation>
    </message>
</context>
</TS>
