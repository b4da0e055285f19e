// Prints a properties file as Java reads it, one key to a line in key order:
// "key<TAB>value<TAB>the value formatted by MessageFormat with the arguments
// 1, 2, 3" (or "!" and why MessageFormat refuses it), tabs, line breaks and
// backslashes escaped. With "bundle", PropertyResourceBundle reads the file
// (UTF-8, or ISO-8859-1 when it is no UTF-8), else Properties.load() (ISO-8859-1).
import java.io.FileInputStream;
import java.io.InputStream;
import java.text.MessageFormat;
import java.util.Properties;
import java.util.PropertyResourceBundle;
import java.util.TreeMap;

public class PropertiesDump {
    static String shown(String s) {
        return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r");
    }

    public static void main(String[] args) throws Exception {
        TreeMap<String, String> values = new TreeMap<>();
        try (InputStream in = new FileInputStream(args[0])) {
            if (args.length > 1 && args[1].equals("bundle")) {
                PropertyResourceBundle bundle = new PropertyResourceBundle(in);
                for (String key : bundle.keySet())
                    values.put(key, bundle.getString(key));
            } else {
                Properties properties = new Properties();
                properties.load(in);
                for (String key : properties.stringPropertyNames())
                    values.put(key, properties.getProperty(key));
            }
        }
        StringBuilder out = new StringBuilder();
        for (var entry : values.entrySet()) {
            String formatted;
            try {
                formatted = MessageFormat.format(entry.getValue(), 1, 2, 3);
            } catch (IllegalArgumentException e) {
                formatted = "!" + e.getMessage();
            }
            out.append(shown(entry.getKey())).append('\t').append(shown(entry.getValue())).append('\t')
                .append(shown(formatted)).append('\n');
        }
        System.out.write(out.toString().getBytes("UTF-8"));
        System.out.flush();
    }
}
