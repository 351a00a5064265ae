<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
<context>
    <name>ondrel::Accent</name>
    <message>
        <source>Grey</source>
        <translation>Gris</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>Naranja</translation>
    </message>
    <message>
        <source>Lavender</source>
        <translation>Lavanda</translation>
    </message>
    <message>
        <source>Mint</source>
        <translation>Menta</translation>
    </message>
    <message>
        <source>Sky</source>
        <translation>Cielo</translation>
    </message>
    <message>
        <source>Coral</source>
        <translation>Coral</translation>
    </message>
    <message>
        <source>Butter</source>
        <translation>Mantequilla</translation>
    </message>
</context>
<context>
    <name>ondrel::AppcastUpdater</name>
    <message>
        <source>Updates come from your system&apos;s package manager.</source>
        <translation>Las actualizaciones llegan a través del gestor de paquetes del sistema.</translation>
    </message>
    <message>
        <source>the network module could not be loaded: %1</source>
        <translation>no se pudo cargar el módulo de red: %1</translation>
    </message>
    <message>
        <source>the update feed is not readable</source>
        <translation>la fuente de actualizaciones no se puede leer</translation>
    </message>
</context>
<context>
    <name>ondrel::ClipboardItemDelegate</name>
    <message>
        <source>selection</source>
        <translation>selección</translation>
    </message>
    <message>
        <source>Not saved</source>
        <translation>Sin guardar</translation>
    </message>
</context>
<context>
    <name>ondrel::CopiedNotice</name>
    <message>
        <source>Could not copy</source>
        <translation>No se pudo copiar</translation>
    </message>
    <message>
        <source>Copied!</source>
        <translation>¡Copiado!</translation>
    </message>
</context>
<context>
    <name>ondrel::DetailView</name>
    <message>
        <source>Edit &amp; Copy</source>
        <translation>Editar y copiar</translation>
    </message>
    <message>
        <source>Transformations</source>
        <translation>Transformaciones</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Entry text</source>
        <translation>Texto de la entrada</translation>
    </message>
    <message>
        <source>Ctrl+C to copy selection</source>
        <translation>Ctrl+C para copiar la selección</translation>
    </message>
    <message numerus="yes">
        <source>%n chars</source>
        <translation>
            <numerusform>%n carácter</numerusform>
            <numerusform>%n caracteres</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n lines</source>
        <translation>
            <numerusform>%n línea</numerusform>
            <numerusform>%n líneas</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ondrel::ExcludedAppsBox</name>
    <message>
        <source>Excluded Applications</source>
        <translation>Aplicaciones excluidas</translation>
    </message>
    <message>
        <source>This desktop does not tell Ondrel which application copied something, so these applications cannot be left out here.</source>
        <translation>Este escritorio no indica a Ondrel qué aplicación ha copiado algo, así que aquí no se pueden excluir estas aplicaciones.</translation>
    </message>
    <message>
        <source>Applications not recorded</source>
        <translation>Aplicaciones que no se registran</translation>
    </message>
    <message>
        <source>Application to leave out</source>
        <translation>Aplicación que excluir</translation>
    </message>
    <message>
        <source>Application or id</source>
        <translation>Nombre o id</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Añadir</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Quitar</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryList</name>
    <message>
        <source>Clipboard history</source>
        <translation>Historial del portapapeles</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Eliminar</translation>
    </message>
    <message>
        <source>Pin</source>
        <translation>Fijar</translation>
    </message>
    <message>
        <source>Unpin</source>
        <translation>Desfijar</translation>
    </message>
    <message>
        <source>Entry actions</source>
        <translation>Acciones de la entrada</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Editar</translation>
    </message>
    <message>
        <source>Don&apos;t Record from %1</source>
        <translation>No registrar nada de %1</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryListModel</name>
    <message>
        <source>Not saved (%1): kept only until Ondrel quits</source>
        <translation>Sin guardar (%1): se conserva solo hasta que Ondrel se cierre</translation>
    </message>
    <message>
        <source>from a mouse selection</source>
        <translation>de una selección con el ratón</translation>
    </message>
    <message>
        <source>pinned</source>
        <translation>fijada</translation>
    </message>
    <message>
        <source>not saved</source>
        <translation>sin guardar</translation>
    </message>
    <message>
        <source>Click to paste, double-click to edit</source>
        <translation>Clic para pegar, doble clic para editar</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryStore</name>
    <message>
        <source>History not saved: %1</source>
        <translation>Historial sin guardar: %1</translation>
    </message>
</context>
<context>
    <name>ondrel::KeyHints</name>
    <message>
        <source>Navigate</source>
        <translation>Navegar</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Editar</translation>
    </message>
    <message>
        <source>Ctrl 1-9</source>
        <translation>Ctrl 1-9</translation>
    </message>
    <message>
        <source>Quick</source>
        <translation>Rápido</translation>
    </message>
    <message>
        <source>Keyboard: arrows navigate, Tab edits, Control and a digit pastes quickly</source>
        <translation>Teclado: las flechas navegan, Tab edita, Control y un dígito pegan rápidamente</translation>
    </message>
</context>
<context>
    <name>ondrel::PopoverContent</name>
    <message>
        <source>Clipboard history</source>
        <translation>Historial del portapapeles</translation>
    </message>
    <message>
        <source>Search clipboard</source>
        <translation>Buscar en el portapapeles</translation>
    </message>
    <message>
        <source>Search clipboard...</source>
        <translation>Buscar en el portapapeles...</translation>
    </message>
    <message>
        <source>Clear search</source>
        <translation>Borrar la búsqueda</translation>
    </message>
    <message>
        <source>Recording paused</source>
        <translation>Registro en pausa</translation>
    </message>
    <message>
        <source>No clipboard history</source>
        <translation>Sin historial</translation>
    </message>
    <message>
        <source>Copy something to get started</source>
        <translation>Copia algo para empezar</translation>
    </message>
    <message>
        <source>No matches</source>
        <translation>Sin coincidencias</translation>
    </message>
    <message>
        <source>Try a different search</source>
        <translation>Prueba otra búsqueda</translation>
    </message>
</context>
<context>
    <name>ondrel::PopoverWindow</name>
    <message>
        <source>Ondrel clipboard history</source>
        <translation>Ondrel: historial del portapapeles</translation>
    </message>
</context>
<context>
    <name>ondrel::SettingsView</name>
    <message>
        <source>Ondrel Settings</source>
        <translation>Preferencias de Ondrel</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Apariencia</translation>
    </message>
    <message>
        <source>Accent Color</source>
        <translation>Color de acento</translation>
    </message>
    <message>
        <source>General</source>
        <translation>General</translation>
    </message>
    <message>
        <source>Global Hotkey</source>
        <translation>Atajo global</translation>
    </message>
    <message>
        <source>Global Hotkey:</source>
        <translation>Atajo global:</translation>
    </message>
    <message>
        <source>Max History Items</source>
        <translation>Número máximo de entradas</translation>
    </message>
    <message>
        <source>Max History Items:</source>
        <translation>Número máximo de entradas:</translation>
    </message>
    <message>
        <source>Also record text selected with the mouse</source>
        <translation>Registrar también la selección del ratón</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>Inicio</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation>Iniciar al acceder a la sesión</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Acerca de</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Versión</translation>
    </message>
    <message>
        <source>Made by</source>
        <translation>Creado por</translation>
    </message>
    <message>
        <source>The desktop runs this hotkey as %1. Change it in the desktop&apos;s settings.</source>
        <translation>El escritorio usa %1 para este atajo. Cámbialo en las preferencias del escritorio.</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Sistema</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Claro</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Oscuro</translation>
    </message>
    <message>
        <source>Appearance:</source>
        <translation>Apariencia:</translation>
    </message>
</context>
<context>
    <name>ondrel::StatusMenu</name>
    <message>
        <source>Settings...</source>
        <translation>Preferencias...</translation>
    </message>
    <message>
        <source>Check for Updates...</source>
        <translation>Buscar actualizaciones...</translation>
    </message>
    <message>
        <source>Automatic Updates</source>
        <translation>Actualizaciones automáticas</translation>
    </message>
    <message>
        <source>Pause Recording</source>
        <translation>Pausar el registro</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>Vaciar el historial</translation>
    </message>
    <message>
        <source>Quit Ondrel</source>
        <translation>Salir de Ondrel</translation>
    </message>
</context>
<context>
    <name>ondrel::Transformations</name>
    <message>
        <source>Title Case</source>
        <translation>Mayúscula Inicial En Cada Palabra</translation>
    </message>
    <message>
        <source>Base64 Encode</source>
        <translation>Codificar en Base64</translation>
    </message>
    <message>
        <source>Base64 Decode</source>
        <translation>Decodificar Base64</translation>
    </message>
    <message>
        <source>URL Encode</source>
        <translation>Codificar para URL</translation>
    </message>
    <message>
        <source>URL Decode</source>
        <translation>Decodificar URL</translation>
    </message>
    <message>
        <source>JSON Prettify</source>
        <translation>Formatear JSON</translation>
    </message>
    <message>
        <source>JSON Minify</source>
        <translation>Compactar JSON</translation>
    </message>
    <message>
        <source>Escape as String</source>
        <translation>Escapar como cadena</translation>
    </message>
    <message>
        <source>Unescape String</source>
        <translation>Quitar escapes de la cadena</translation>
    </message>
    <message>
        <source>Trim Whitespace</source>
        <translation>Recortar espacios</translation>
    </message>
    <message>
        <source>Remove Newlines</source>
        <translation>Quitar saltos de línea</translation>
    </message>
    <message>
        <source>Sort Lines</source>
        <translation>Ordenar líneas</translation>
    </message>
    <message>
        <source>Reverse Lines</source>
        <translation>Invertir líneas</translation>
    </message>
    <message>
        <source>Unique Lines</source>
        <translation>Quitar líneas repetidas</translation>
    </message>
    <message>
        <source>Case</source>
        <translation>Mayúsculas</translation>
    </message>
    <message>
        <source>Encoding</source>
        <translation>Codificación</translation>
    </message>
    <message>
        <source>JSON</source>
        <translation>JSON</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Líneas</translation>
    </message>
</context>
<context>
    <name>ondrel::TransformationsPopover</name>
    <message>
        <source>Transformations</source>
        <translation>Transformaciones</translation>
    </message>
</context>
<context>
    <name>ondrel::TrayController</name>
    <message>
        <source>Recording paused until %1</source>
        <translation>Registro en pausa hasta las %1</translation>
    </message>
    <message>
        <source>Recording paused</source>
        <translation>Registro en pausa</translation>
    </message>
</context>
<context>
    <name>ondrel::Updates</name>
    <message>
        <source>Software Update</source>
        <translation>Actualización de software</translation>
    </message>
    <message>
        <source>Ondrel %1 is available.</source>
        <translation>Ondrel %1 está disponible.</translation>
    </message>
    <message>
        <source>You have version %1.</source>
        <translation>Tienes la versión %1.</translation>
    </message>
    <message>
        <source>Release Notes</source>
        <translation>Notas de la versión</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>¡Todo está al día!</translation>
    </message>
    <message>
        <source>Ondrel %1 is the newest version available.</source>
        <translation>Ondrel %1 es la versión más reciente disponible.</translation>
    </message>
    <message>
        <source>Updates come from your system&apos;s package manager.</source>
        <translation>Las actualizaciones llegan a través del gestor de paquetes del sistema.</translation>
    </message>
    <message>
        <source>This copy of Ondrel has no update feed configured.</source>
        <translation>Esta copia de Ondrel no tiene configurada ninguna fuente de actualizaciones.</translation>
    </message>
    <message>
        <source>Ondrel could not check for updates.</source>
        <translation>Ondrel no pudo buscar actualizaciones.</translation>
    </message>
</context>
<context>
    <name>ondrel::hotkeys</name>
    <message>
        <source>Record Shortcut</source>
        <translation>Grabar atajo</translation>
    </message>
    <message>
        <source>Press Shortcut</source>
        <translation>Pulsa el atajo</translation>
    </message>
    <message>
        <source>This keyboard shortcut cannot be used as it is already used by the “%1” menu item.</source>
        <translation>Este atajo de teclado no se puede usar porque ya lo usa el elemento de menú «%1».</translation>
    </message>
    <message>
        <source>This keyboard shortcut cannot be used as it is already used by another application or by the desktop.</source>
        <translation>Este atajo de teclado no se puede usar porque ya lo usa otra aplicación o el escritorio.</translation>
    </message>
    <message>
        <source>Most desktops let you change their keyboard shortcuts in the keyboard settings.</source>
        <translation>La mayoría de los escritorios permiten cambiar sus atajos en las preferencias del teclado.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Use Anyway</source>
        <translation>Usar de todos modos</translation>
    </message>
    <message>
        <source>Ctrl with a letter or digit copies, pastes, undoes, finds and switches tabs in the application you are working in; Ondrel pastes entries with Ctrl and a digit. As a global shortcut it would stop working everywhere.</source>
        <translation>Ctrl con una letra o un dígito copia, pega, deshace, busca y cambia de pestaña en la aplicación en la que trabajas; Ondrel pega las entradas con Ctrl y un dígito. Como atajo global dejaría de funcionar en todas partes.</translation>
    </message>
    <message>
        <source>Terminals paste with it, and Ondrel sends it to paste into them. As a global shortcut it would stop working everywhere.</source>
        <translation>Los terminales pegan con él, y Ondrel lo envía para pegar en ellos. Como atajo global dejaría de funcionar en todas partes.</translation>
    </message>
</context>
<context>
    <name>ondrel::hotkeys::Keys</name>
    <message>
        <source>Print</source>
        <translation>Impr Pant</translation>
    </message>
    <message>
        <source>Scroll Lock</source>
        <translation>Bloq Despl</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausa</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menú</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Silenciar</translation>
    </message>
    <message>
        <source>Volume Down</source>
        <translation>Bajar volumen</translation>
    </message>
    <message>
        <source>Volume Up</source>
        <translation>Subir volumen</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Reproducir</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Detener</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Anterior</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Siguiente</translation>
    </message>
    <message>
        <source>Return</source>
        <translation>Intro</translation>
    </message>
    <message>
        <source>Backspace</source>
        <translation>Retroceso</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supr</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Fin</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>Esc</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Insert</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>Inicio</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Espacio</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>Page Up</source>
        <translation>Re Pág</translation>
    </message>
    <message>
        <source>Page Down</source>
        <translation>Av Pág</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Arriba</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Derecha</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Abajo</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Izquierda</translation>
    </message>
    <message>
        <source>Num %1</source>
        <translation>Tecl num %1</translation>
    </message>
    <message>
        <source>Num Lock</source>
        <translation>Bloq Num</translation>
    </message>
    <message>
        <source>Enter</source>
        <translation>Intro</translation>
    </message>
    <message>
        <source>Ctrl</source>
        <translation>Ctrl</translation>
    </message>
    <message>
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message>
        <source>Shift</source>
        <translation>Mayús</translation>
    </message>
    <message>
        <source>Super</source>
        <translation>Súper</translation>
    </message>
    <message>
        <source>Fn</source>
        <translation>Fn</translation>
    </message>
</context>
<context>
    <name>ondrel::hotkeys::ShortcutField</name>
    <message>
        <source>Keyboard shortcut</source>
        <translation>Atajo de teclado</translation>
    </message>
    <message>
        <source>Clear shortcut</source>
        <translation>Borrar el atajo</translation>
    </message>
    <message>
        <source>%1 cannot be used as a global shortcut</source>
        <translation>%1 no se puede usar como atajo global</translation>
    </message>
    <message>
        <source>Choose one with Super or Alt.</source>
        <translation>Elige uno con Súper o Alt.</translation>
    </message>
    <message>
        <source>%1 is held by another application</source>
        <translation>%1 lo ocupa otra aplicación</translation>
    </message>
    <message>
        <source>Ondrel cannot use it while that application runs. Choose another shortcut.</source>
        <translation>Ondrel no puede usarlo mientras esa aplicación esté abierta. Elige otro atajo.</translation>
    </message>
</context>
<context>
    <name>ondrel::platform::HotKeys</name>
    <message>
        <source>This desktop lets no program take a global hotkey. Bind a key to “ondrel toggle” in its keyboard settings.</source>
        <translation>Este escritorio no permite a ningún programa tener un atajo global. Asigna una tecla a «ondrel toggle» en sus preferencias del teclado.</translation>
    </message>
    <message>
        <source>Show the clipboard history</source>
        <translation>Mostrar el historial del portapapeles</translation>
    </message>
    <message>
        <source>The desktop has not given this hotkey a key yet. Choose one in its keyboard settings, or bind a key to “ondrel toggle”.</source>
        <translation>El escritorio todavía no ha asignado una tecla a este atajo. Elige una en sus preferencias del teclado o asigna una tecla a «ondrel toggle».</translation>
    </message>
    <message>
        <source>The desktop did not give Ondrel a global hotkey. Bind a key to “ondrel toggle” in its keyboard settings.</source>
        <translation>El escritorio no ha dado a Ondrel ningún atajo global. Asigna una tecla a «ondrel toggle» en sus preferencias del teclado.</translation>
    </message>
    <message>
        <source>The desktop has not answered Ondrel&apos;s request for a global hotkey yet.</source>
        <translation>El escritorio todavía no ha respondido a la solicitud de Ondrel de un atajo global.</translation>
    </message>
</context>
<context>
    <name>ondrel::row</name>
    <message>
        <source>just now</source>
        <translation>ahora</translation>
    </message>
    <message>
        <source>%1m</source>
        <comment>minutes ago, abbreviated</comment>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1h</source>
        <comment>hours ago, abbreviated</comment>
        <translation>%1 h</translation>
    </message>
    <message>
        <source>%1d</source>
        <comment>days ago, abbreviated</comment>
        <translation>%1 d</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Imagen</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Archivo</translation>
    </message>
    <message numerus="yes">
        <source> + %n more</source>
        <comment>further files</comment>
        <translation>
            <numerusform> + %n más</numerusform>
            <numerusform> + %n más</numerusform>
        </translation>
    </message>
</context>
</TS>
